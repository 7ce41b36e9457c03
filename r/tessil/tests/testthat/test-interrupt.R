# An interrupt ends the engine's work within a second, and its threads with
# it. R raises a time limit at the points where it serves an interrupt, so a
# time limit stands for the user's Esc or Ctrl-C.
cpu_seconds <- function() sum(proc.time()[c("user.self", "sys.self")])

stopped_within_a_second <- function(work) {
  started <- Sys.time()
  setTimeLimit(elapsed = 0.5, transient = TRUE)
  outcome <- tryCatch(work(), error = function(e) conditionMessage(e))
  setTimeLimit(elapsed = Inf)
  expect_match(outcome, "time limit")
  expect_lt(as.numeric(difftime(Sys.time(), started, units = "secs")), 1.5)
  # No worker goes on drawing once the call has returned.
  before <- cpu_seconds()
  Sys.sleep(0.4)
  expect_lt(cpu_seconds() - before, 0.2)
}

test_that("a study and a test stop when R is interrupted", {
  stopped_within_a_second(function() {
    power_study(rows = 40, cols = 40, column_constraint = "fixed", ecosim_iterations = 50000, threads = 2,
                progress = FALSE)
  })
  stopped_within_a_second(function() {
    cooc_test(fixed_matrix(200, 200), column_constraint = "fixed", algorithm = "independent",
              ecosim_iterations = 50000, progress = FALSE)
  })
  # The package is left able to work.
  expect_s3_class(cooc_test(diag(3), progress = FALSE), "tessil_test")
})
