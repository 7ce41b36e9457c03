# A sweep's folder reads as tessil-cli merge --arguments reads it.
test_that("a sweep reads as merge's table; a folder without one is refused", {
  empty <- tempfile()
  dir.create(empty)
  expect_error(read_sweep(empty), "holds no sweep", fixed = TRUE)

  plan <- tempfile(fileext = ".toml")
  writeLines(c("iterations = 100", "seed = 4", "[sweep]", "rows = [6, 8]", "cols = 6",
               "column-constraint = [\"equi\", \"prop\"]", "ecosim-iterations = 30"), plan)
  folder <- tempfile()
  skip_if(!nzchar(Sys.getenv("TESSIL_CLI")))
  expect_equal(run_cli("sweep", plan, "-o", folder, "--threads", "1", "--no-progress")$status, 0L)
  merged <- run_cli("merge", folder, "-o", "-", "--arguments")$out
  swept <- read_sweep(folder)
  expect_equal(nrow(swept), 4 * 36)
  expect_identical(unique(swept$rows), c(6L, 8L))
  table <- utils::read.delim(text = merged, check.names = FALSE, colClasses = "character")
  expect_identical(swept$study, table$study)
  expect_equal(swept$power, as.numeric(table$power))

  # A study gone from the folder: refused, or read without it on request.
  gone <- list.dirs(file.path(folder, "studies"), recursive = FALSE)[1]
  unlink(gone, recursive = TRUE)
  expect_error(read_sweep(folder), "1 of the 4 studies of the sweep are not in", fixed = TRUE)
  expect_warning(partial <- read_sweep(folder, allow_missing = TRUE), "not in")
  expect_equal(nrow(partial), 3 * 36)
  expect_identical(attr(partial, "missing"), basename(gone))
})
