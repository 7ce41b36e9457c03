# The command-line program to compare with: TESSIL_CLI names it (the test
# script sets it to the build's). Without it the comparisons are skipped.
tessil_cli <- function() {
  cli <- Sys.getenv("TESSIL_CLI")
  if (!nzchar(cli) || !file.exists(cli)) skip("TESSIL_CLI does not name a tessil-cli to compare with")
  cli
}

# What the program writes on standard output and standard error, as bytes,
# and its exit status.
run_cli <- function(...) {
  out <- tempfile()
  err <- tempfile()
  on.exit(unlink(c(out, err)))
  status <- system2(tessil_cli(), shQuote(c(...)), stdout = out, stderr = err, timeout = 120)
  list(status = status,
       out = rawToChar(readBin(out, "raw", file.size(out))),
       err = rawToChar(readBin(err, "raw", max(1, file.size(err)))))
}

write_matrix <- function(m) {
  path <- tempfile(fileext = ".csv")
  utils::write.table(m, path, sep = ",", row.names = FALSE, col.names = FALSE, quote = FALSE)
  path
}

# A matrix of about half its cells filled, the same on every machine and
# whatever R's random state: a Lehmer generator, exact in doubles.
fixed_matrix <- function(rows, cols, salt = 0) {
  x <- 12345 + salt
  cells <- numeric(rows * cols)
  for (k in seq_along(cells)) {
    x <- (16807 * x) %% 2147483647
    cells[k] <- as.numeric(x > 1073741823)
  }
  matrix(cells, rows, cols)
}
