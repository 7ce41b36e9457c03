# For the same settings and seeds, the package's study report is the command
# line's byte for byte, and its test prints what `tessil-cli test` prints:
# every index, every constraint family, every fixed-fixed algorithm.
settings <- list(
  list(),
  list(index = "Number of checkerboards", row_constraint = "equi", column_constraint = "fixed"),
  list(index = "combinations", row_constraint = "prop", column_constraint = "prop", empty_sites = "include",
       degenerate = "Discard"),
  list(index = "v-ratio", column_constraint = "prop", degenerate = "Split"),
  list(column_constraint = "fixed", algorithm = "sequential", hypothesis = "sites-equivalent",
       assume_interaction_level = "0"),
  list(index = "checkerboards", column_constraint = "fixed", algorithm = "independent",
       hypothesis = "species-equivalent", assume_interaction_level = "50", assume_sites_equivalent = TRUE),
  list(column_constraint = "fixed", algorithm = "knights-tour", degenerate = "Fix", hypothesis = "sites-equivalent",
       assume_species_equivalent = TRUE)
)

# The same settings as tessil-cli's options; a TRUE assumption is a flag.
as_cli <- function(s) {
  unlist(lapply(names(s), function(name) {
    option <- paste0("--", gsub("_", "-", name))
    if (isTRUE(s[[name]])) option else c(option, s[[name]])
  }))
}

# The test options alone, for cooc_test and tessil-cli test.
test_settings <- function(s) s[!grepl("^(hypothesis|assume_)", names(s))]

test_that("study reports and tests are the command line's, byte for byte", {
  tessil_cli()
  for (s in settings) {
    study <- c(s, list(rows = 7, cols = 9, seed = 5, ecosim_seed = 3, ecosim_iterations = 40))
    report <- study_report(do.call(power_study, c(study, list(iterations = 100, threads = 2, progress = FALSE))))
    cli <- do.call(run_cli, as.list(c("run", as_cli(study), "--iterations", "100", "--threads", "1",
                                      "--no-progress")))
    expect_equal(cli$status, 0L)
    expect_identical(report, cli$out, label = paste(unlist(s), collapse = " "))

    m <- fixed_matrix(8, 11, salt = length(s))
    t <- test_settings(s)
    test <- do.call(cooc_test, c(list(m), t, list(ecosim_iterations = 300, ecosim_seed = 9, progress = FALSE)))
    cli <- do.call(run_cli, as.list(c("test", write_matrix(m), "--header", "no", as_cli(t),
                                      "--ecosim-iterations", "300", "--ecosim-seed", "9")))
    expect_identical(paste(capture.output(print(test)), collapse = "\n"), sub("\n$", "", cli$out))
    expect_identical(sprintf("%.5f", c(test$p_lower, test$p_upper)), c(test$p_lower_text, test$p_upper_text))
  }
})

test_that("the default study is the command line's default report, and as sure of its verdicts", {
  study <- power_study(threads = 2, progress = FALSE)
  cli <- run_cli("run", "--no-progress")
  expect_identical(study_report(study), cli$out)
  expect_identical(paste0("\n\n", summary(study)$certainty$text), paste(cli$err, collapse = "\n"))
})
