#' @useDynLib tessil, .registration = TRUE
#' @importFrom Rcpp evalCpp
NULL

# A number as the command line would be given it: whole numbers without an
# exponent, so that 1e5 reads as 100000 and not as 1.
as_typed <- function(x, name) {
  if (is.character(x) && length(x) == 1L && !is.na(x)) return(x)
  if (!is.numeric(x) || length(x) != 1L || is.na(x)) {
    stop(name, ": give one number", call. = FALSE)
  }
  format(x, scientific = FALSE, trim = TRUE, digits = 15)
}

as_name <- function(x, name) {
  if (is.factor(x)) x <- as.character(x)
  if (!is.character(x) || length(x) != 1L || is.na(x)) {
    stop(name, ": give one name", call. = FALSE)
  }
  x
}

test_options <- function(index, row_constraint, column_constraint, algorithm, degenerate, empty_sites,
                         ecosim_iterations, ecosim_seed) {
  list(index = as_name(index, "index"),
       row_constraint = as_name(row_constraint, "row_constraint"),
       column_constraint = as_name(column_constraint, "column_constraint"),
       algorithm = as_name(algorithm, "algorithm"),
       degenerate = as_name(degenerate, "degenerate"),
       empty_sites = as_name(empty_sites, "empty_sites"),
       ecosim_iterations = as_typed(ecosim_iterations, "ecosim_iterations"),
       ecosim_seed = as_typed(ecosim_seed, "ecosim_seed"))
}

# Waits for a piece of work started in C++, showing its progress. The loop
# returns to R several times a second, so that an interrupt (Esc, Ctrl-C) or a
# time limit ends it there; the exit handler then stops the engine's threads
# before the condition goes on.
await <- function(job, progress) {
  finished <- FALSE
  on.exit(if (!finished) .tessil_job_stop(job), add = TRUE)
  bar <- NULL
  if (isTRUE(progress)) {
    bar <- utils::txtProgressBar(min = 0, max = 1, style = 3)
    on.exit(close(bar), add = TRUE)
  }
  while (!.tessil_job_wait(job, 50L)) {
    if (!is.null(bar)) utils::setTxtProgressBar(bar, .tessil_job_progress(job))
    Sys.sleep(0.001)
  }
  if (!is.null(bar)) utils::setTxtProgressBar(bar, 1)
  finished <- TRUE
  invisible(job)
}
