#' A whole study: the Type I error and power of a co-occurrence test
#'
#' Runs the study `tessil-cli run` runs with the same settings: random
#' matrices at every argument (interaction level, occupancy scenario) of the
#' power function that the hypothesis and assumptions leave, each tested with
#' the co-occurrence test the test settings describe. Arguments take the
#' command line's long options in R's spelling, with its defaults, and are
#' checked with its checks and messages; fewer than 100 matrices per argument
#' gives a warning instead of the command line's question.
#'
#' The random numbers come from `seed` (the matrices) and `ecosim_seed` (the
#' tests) alone: R's [set.seed()] has no effect, and the number of threads
#' does not change the results.
#'
#' @param rows,cols The matrices' species (rows) and sites (columns), 2 or
#'   more.
#' @param hypothesis The null hypothesis examined: `"no-interactions"`,
#'   `"sites-equivalent"` or `"species-equivalent"`.
#' @param assume_sites_equivalent,assume_species_equivalent Assumptions that
#'   hold for your data set.
#' @param assume_interaction_level `NULL`, or the proportion of species
#'   assumed to interact: `0`, `50` or `100` (percent).
#' @param iterations Random matrices per argument (100 or more advised).
#' @param seed The seed of the random matrices, 0 or more.
#' @inheritParams cooc_test
#' @param threads Tests run at once (default: every core); the results are
#'   the same for any number.
#' @param progress Show a progress bar while the study runs.
#' @return A data frame of class `tessil_study`, one row per argument:
#'   `level`, `scenario`, `in_null` (whether the null hypothesis is true
#'   there), `rate` (the rejection rate: a Type I error rate in the null, the
#'   power outside it), `matrices`, `rejected`, `not_tested`, and the exact 95
#'   % (Clopper-Pearson) interval `ci_lower`, `ci_upper`. Its attribute
#'   `verdicts` (also `summary()`) holds the actual size, the least and
#'   greatest power, the four verdicts, the report's warnings, and
#'   `certainty`, how sure each verdict is: simultaneous 95 % intervals
#'   (`actual_size`, `min_power`, `max_power`), whether each verdict is
#'   settled and about how many matrices per argument would settle it, and
#'   `text`, the paragraph tessil-cli run prints after the report. [study_report()] gives the report, `plot()` the power function.
#' @examples
#' study <- power_study(rows = 10, cols = 10, iterations = 100, threads = 1)
#' study
#' head(as.data.frame(study))
#' plot(study)
#' @export
power_study <- function(rows = 10, cols = 10, hypothesis = "no-interactions", assume_sites_equivalent = FALSE,
                        assume_species_equivalent = FALSE, assume_interaction_level = NULL, iterations = 100,
                        seed = 0, index = "C-score", row_constraint = "Fixed Sum",
                        column_constraint = "Equiprobable", algorithm = "Sequential Swap",
                        degenerate = "Retain", empty_sites = "Exclude", ecosim_iterations = 100,
                        ecosim_seed = 0, threads = NULL, progress = interactive()) {
  settings <- test_options(index, row_constraint, column_constraint, algorithm, degenerate, empty_sites,
                           ecosim_iterations, ecosim_seed)
  flag <- function(x, name) {
    if (!is.logical(x) || length(x) != 1L || is.na(x)) stop(name, ": give TRUE or FALSE", call. = FALSE)
    x
  }
  settings$hypothesis <- as_name(hypothesis, "hypothesis")
  settings$assume_sites_equivalent <- flag(assume_sites_equivalent, "assume_sites_equivalent")
  settings$assume_species_equivalent <- flag(assume_species_equivalent, "assume_species_equivalent")
  settings$assume_interaction_level <-
    if (is.null(assume_interaction_level)) "" else as_typed(assume_interaction_level, "assume_interaction_level")
  settings$rows <- as_typed(rows, "rows")
  settings$cols <- as_typed(cols, "cols")
  settings$iterations <- as_typed(iterations, "iterations")
  settings$seed <- as_typed(seed, "seed")
  cores <- .tessil_cores()
  if (is.null(threads)) {
    threads <- cores
  } else {
    refusal <- .tessil_threads_fault(as_typed(threads, "threads"))
    if (nzchar(refusal)) stop("threads: ", refusal, call. = FALSE)
    threads <- as.integer(threads)
  }

  checked <- .tessil_study_check(settings)
  if (checked$asks_to_continue) warning(checked$question, call. = FALSE)
  if (nzchar(checked$refusal)) stop(checked$refusal, call. = FALSE)
  job <- .tessil_study_start(settings, threads)
  await(job, progress)
  result <- .tessil_study_result(job)

  report_lines <- strsplit(result$report, "\r\n", fixed = TRUE)[[1L]]
  warnings <- sub("^[*]+(.*?)[*]+$", "\\1", grep("^[*]+Warning", report_lines, value = TRUE), perl = TRUE)
  verdicts <- c(result$verdicts, list(warnings = warnings, certainty = result$certainty))
  settings$threads <- threads
  structure(result$table, class = c("tessil_study", "data.frame"), verdicts = verdicts,
            report = result$report, settings = settings,
            matrices_per_argument = result$matrices_per_argument)
}

#' The report of a study, as the command line writes it
#'
#' The text `tessil-cli run` prints for the same settings and seeds, byte for
#' byte: seven sections, lines ending in CR LF, no final line end.
#'
#' @param study The result of [power_study()].
#' @param file When given, the report is also written to this file exactly.
#' @return The report as one character string (invisibly when `file` is
#'   given).
#' @examples
#' study <- power_study(rows = 10, cols = 10, threads = 1)
#' cat(study_report(study))
#' @export
study_report <- function(study, file = NULL) {
  if (!inherits(study, "tessil_study")) stop("study: give the result of power_study()", call. = FALSE)
  report <- attr(study, "report")
  if (is.null(file)) return(report)
  writeBin(charToRaw(report), file)
  invisible(report)
}

#' @export
summary.tessil_study <- function(object, ...) {
  structure(attr(object, "verdicts"), class = "summary.tessil_study")
}

#' @export
print.summary.tessil_study <- function(x, ...) {
  rate <- function(v) formatC(v, format = "f", digits = 3)
  cat("Actual size (largest Type I error rate): ", rate(x$actual_size), " (nominal 0.050)\n",
      "Power: least ", rate(x$min_power), ", greatest ", rate(x$max_power), "\n", sep = "")
  verdict <- function(name, value) cat(sprintf("  %-20s %s\n", name, if (value) "yes" else "no"))
  cat("Verdicts:\n")
  verdict("high Type I error", x$high_type_i_error)
  verdict("biased", x$biased)
  verdict("low power", x$low_power)
  verdict("adequate power", x$adequate_power)
  if (length(x$warnings)) cat(paste0(x$warnings, "\n"), sep = "")
  if (!is.null(x$certainty)) cat(x$certainty$text)
  invisible(x)
}

#' @export
print.tessil_study <- function(x, ...) {
  cat("Tessil study: ", nrow(x), " arguments x ", attr(x, "matrices_per_argument"),
      " matrices (study_report() gives the report, as.data.frame() the table)\n", sep = "")
  print(summary(x))
  invisible(x)
}

#' @export
plot.tessil_study <- function(x, main = "Power function", ...) {
  table <- as.data.frame(x)
  table <- table[order(table$scenario, table$level), ]
  scenarios <- sort(unique(table$scenario))
  levels <- sort(unique(table$level))
  # The three interaction levels side by side within each scenario.
  offset <- (match(table$level, levels) - (length(levels) + 1) / 2) * 0.22
  where <- match(table$scenario, scenarios) + offset
  colour <- ifelse(table$in_null, "darkorange", "royalblue")
  graphics::plot(where, table$rate, ylim = c(0, 1), xlim = c(0.5, length(scenarios) + 0.5), xaxt = "n",
                 pch = ifelse(table$in_null, 1, 15), col = colour, main = main, xlab = "Scenario",
                 ylab = "Rejection rate", ...)
  graphics::axis(1, at = seq_along(scenarios), labels = scenarios)
  graphics::arrows(where, table$ci_lower, where, table$ci_upper, angle = 90, code = 3, length = 0.02, col = colour)
  graphics::abline(h = c(0.05, 0.15), lty = c(2, 3), col = "grey40")
  graphics::legend("topleft", bty = "n", pch = c(1, 15), col = c("darkorange", "royalblue"),
                   legend = c("Type I error rate (null true)", "Power (null false)"))
  invisible(x)
}

#' @export
as.data.frame.tessil_study <- function(x, ...) {
  attributes(x) <- attributes(x)[c("names", "row.names")]
  class(x) <- "data.frame"
  x
}
