# Where the null models coincide, the null distribution is vegan's: rows
# fixed and sites equiprobable is vegan's "r0".
cscore <- function(m) {
  m <- m[rowSums(m) > 0, , drop = FALSE]
  shared <- tcrossprod(m)
  r <- rowSums(m)
  pairs <- (r - shared) * t(r - shared)
  mean(pairs[upper.tri(pairs)])
}

test_that("the C-score's null mean with rows fixed and sites equiprobable is vegan's r0", {
  skip_if_not_installed("vegan")
  m <- fixed_matrix(9, 12, salt = 3)
  n <- 2000
  ours <- cooc_test(m, ecosim_iterations = n, ecosim_seed = 1, progress = FALSE)
  set.seed(1)
  theirs <- apply(simulate(vegan::nullmodel(m, "r0"), nsim = n), 3, cscore)
  expect_equal(ours$observed, cscore(m))
  se <- sqrt(ours$null_variance / n + stats::var(theirs) / n)
  expect_lt(abs(ours$null_mean - mean(theirs)), 3 * se)
})
