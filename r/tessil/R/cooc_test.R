# The cells of a matrix or data frame as 0/1 integers, species as rows; a
# cell that is not 0 or 1 is refused in the words tessil-cli uses for a
# matrix file, where "line" counts the species (rows) and "column" the sites.
presence_absence <- function(m) {
  if (is.data.frame(m)) {
    first <- m[[1L]]
    if (ncol(m) > 1L && (is.character(first) || is.factor(first))) {
      m <- data.frame(m[-1L], row.names = as.character(first), check.names = FALSE)
    }
    m <- as.matrix(m)
  }
  if (!is.matrix(m)) {
    stop("m: give a matrix or a data frame of 0/1 cells, species as rows and sites as columns", call. = FALSE)
  }
  if (nrow(m) == 0L || ncol(m) == 0L) {
    stop("m: the matrix has no cells; give species as rows and sites as columns", call. = FALSE)
  }
  if (is.logical(m)) {
    ok <- !is.na(m)
  } else if (is.numeric(m)) {
    ok <- !is.na(m) & (m == 0 | m == 1)
  } else {
    ok <- !is.na(m) & trimws(m) %in% c("0", "1")
  }
  if (!all(ok)) {
    first <- min(row(ok)[!ok])
    fault <- .tessil_matrix_fault(cells_as_text(m[seq_len(first), , drop = FALSE]))
    if (!nzchar(fault)) fault <- paste0("line ", first, ": a cell is not 0 or 1")
    stop("m: ", fault, call. = FALSE)
  }
  cells <- if (is.character(m)) as.integer(trimws(m)) else as.integer(m)
  dim(cells) <- dim(m)
  dimnames(cells) <- dimnames(m)
  cells
}

cells_as_text <- function(m) {
  if (is.logical(m)) m <- m * 1L
  text <- if (is.numeric(m)) format(m, digits = 15, trim = TRUE, scientific = FALSE) else as.character(m)
  text[is.na(m)] <- ""
  quote <- grepl("[\",;]", text) | grepl("^[[:space:]]|[[:space:]]$", text)
  text[quote] <- paste0("\"", gsub("\"", "\"\"", text[quote], fixed = TRUE), "\"")
  dim(text) <- dim(m)
  paste0(apply(text, 1L, paste, collapse = ","), "\n", collapse = "")
}

#' One co-occurrence null-model test on a presence-absence matrix
#'
#' Runs the test that `tessil-cli test` runs: the observed index against its
#' values in the null matrices, with both one-tailed p-values. The options
#' take the names the command line accepts (its captions, such as
#' `"Fixed Sum"`, or short names such as `"fixed"`, in any case) and its
#' defaults.
#'
#' The random numbers come from `ecosim_seed` alone: R's [set.seed()] has no
#' effect, and the same settings give the same results as `tessil-cli test`
#' on every machine.
#'
#' @param m A matrix or data frame of 0/1 cells (logical cells are read as
#'   0/1), species as rows and sites as columns. A data frame whose first
#'   column holds text takes it for the species' names. Row and column names
#'   are kept.
#' @param index `"C-score"`, `"Number of checkerboards"`,
#'   `"Number of species combinations"` or `"V-ratio"`.
#' @param row_constraint,column_constraint `"Fixed Sum"`, `"Equiprobable"` or
#'   `"Proportional"`.
#' @param algorithm The fixed-fixed algorithm, used when both constraints are
#'   fixed: `"Sequential Swap"`, `"Independent Swap"` or
#'   `"Random Knight's Tour"`.
#' @param degenerate Degenerate null matrices: `"Retain"`, `"Discard"`,
#'   `"Split"` or `"Fix"`.
#' @param empty_sites Empty sites, for the species-combinations and V-ratio
#'   indices: `"Exclude"` or `"Include"`.
#' @param ecosim_iterations Null matrices, 1 to 50000.
#' @param ecosim_seed The test's random number seed, 0 or more.
#' @param progress Show a progress bar while the test runs.
#' @return An object of class `tessil_test`: a list with `observed`,
#'   `null_values`, `null_mean`, `null_variance`, `ses` (the standardized
#'   effect size, `NA` when the null values do not vary), `p_lower`
#'   (p(observed <= expected)), `p_upper` (p(observed >= expected)),
#'   `null_matrices`, `undefined` (null matrices left out as undefined),
#'   `degenerate`, `text` (the command line's output), `options` and the
#'   matrix's `species` and `sites` names. `print()` shows the command line's
#'   output and `plot()` draws the null distribution with the observed index.
#' @examples
#' m <- matrix(c(1, 1, 0, 0,
#'               0, 1, 1, 0,
#'               1, 0, 1, 1), nrow = 3, byrow = TRUE)
#' result <- cooc_test(m)
#' result
#' result$p_upper
#' plot(result)
#' cooc_test(m, index = "v-ratio", column_constraint = "fixed", ecosim_iterations = 500)
#' @export
cooc_test <- function(m, index = "C-score", row_constraint = "Fixed Sum", column_constraint = "Equiprobable",
                      algorithm = "Sequential Swap", degenerate = "Retain", empty_sites = "Exclude",
                      ecosim_iterations = 100, ecosim_seed = 0, progress = interactive()) {
  options <- test_options(index, row_constraint, column_constraint, algorithm, degenerate, empty_sites,
                          ecosim_iterations, ecosim_seed)
  checked <- .tessil_test_check(options)
  if (nzchar(checked$refusal)) stop(checked$refusal, call. = FALSE)
  cells <- presence_absence(m)
  job <- .tessil_test_start(as.vector(cells), nrow(cells), ncol(cells), options)
  await(job, progress)
  result <- .tessil_test_result(job)
  result$options <- options
  result$species <- rownames(cells)
  result$sites <- colnames(cells)
  structure(result, class = "tessil_test")
}

#' @export
print.tessil_test <- function(x, ...) {
  cat(x$text)
  invisible(x)
}

#' @export
summary.tessil_test <- function(object, ...) {
  data.frame(observed = object$observed, null_mean = object$null_mean, null_variance = object$null_variance,
             ses = object$ses, p_lower = object$p_lower, p_upper = object$p_upper,
             null_matrices = object$null_matrices)
}

#' @export
plot.tessil_test <- function(x, breaks = "Sturges", main = NULL, xlab = NULL, ...) {
  index <- x$options$index
  if (is.null(main)) main <- "Null distribution"
  if (is.null(xlab)) xlab <- index
  range <- range(c(x$null_values, x$observed))
  graphics::hist(x$null_values, breaks = breaks, main = main, xlab = xlab, xlim = range,
                 col = "grey85", border = "grey40", ...)
  graphics::abline(v = x$observed, col = "firebrick", lwd = 2)
  graphics::legend("topright", bty = "n",
                   legend = c(paste("observed =", format(x$observed, digits = 6)),
                              paste("p(observed <= expected) =", x$p_lower_text),
                              paste("p(observed >= expected) =", x$p_upper_text)),
                   col = c("firebrick", NA, NA), lwd = c(2, NA, NA))
  invisible(x)
}
