# Bad input is refused before any work, in the command line's words.
test_that("a matrix that is not 0/1, or too small, is refused as tessil-cli refuses it", {
  cases <- list(
    list(matrix(c(1, 0, 2, 1, 0, 1), 2), 'line 1, column 2: "2" is not 0 or 1'),
    list(matrix(c(1, NA, 0, 1), 2), "line 2, column 1: the cell is empty"),
    list(matrix(c(TRUE, FALSE, TRUE, NA), 2), "line 2, column 2: the cell is empty"),
    list(data.frame(sp = c("a", "b"), s1 = c(1, 0), s2 = c("yes", "1")), 'line 1, column 2: "yes" is not 0 or 1'),
    one_species = list(matrix(c(1, 0, 1, 1), 1),
                       "the test cannot be run: The C-score is undefined for this matrix: fewer than two of its species occur.")
  )
  for (case in cases) {
    expect_error(cooc_test(case[[1]], progress = FALSE), case[[2]], fixed = TRUE)
  }
  # The command line says the same of the same cells in a file.
  skip_if(!nzchar(Sys.getenv("TESSIL_CLI")))
  cli <- run_cli("test", write_matrix(matrix(c(1, 0, 2, 1, 0, 1), 2)), "--header", "no")
  expect_match(cli$err, 'line 1, column 2: "2" is not 0 or 1', fixed = TRUE)
  cli <- run_cli("test", write_matrix(matrix(c(1, 0, 1, 1), 1)), "--header", "no")
  expect_match(cli$err, cases$one_species[[2]], fixed = TRUE)
})

test_that("settings are refused in the command line's words, few matrices warned of", {
  m <- diag(3)
  expect_error(cooc_test(m, index = "foo"),
               'index: "foo" is not a co-occurrence index; choose one of "C-score", "Number of checkerboards"',
               fixed = TRUE)
  expect_error(cooc_test(m, ecosim_iterations = 50001), "Error 06: Number of iterations cannot exceed 50000.",
               fixed = TRUE)
  expect_error(power_study(rows = 1), "Error 05: Matrix must have at least 2 rows.", fixed = TRUE)
  expect_error(power_study(threads = 0), "threads: 0 is out of range; give a whole number of threads from 1 to 1024",
               fixed = TRUE)
  expect_error(power_study(hypothesis = "sites-equivalent", assume_sites_equivalent = TRUE),
               "Sites", fixed = TRUE)
  # Fewer than 100 matrices: a warning with the command line's question,
  # and a seed refused after it, as the command line refuses it after --yes.
  expect_warning(expect_error(power_study(iterations = 20, seed = -1), "Random seed must be an integer", fixed = TRUE),
                 "fewer than 100 iterations", fixed = TRUE)
  expect_warning(expect_error(power_study(iterations = 0), "Error 07", fixed = TRUE), regexp = NA)
})
