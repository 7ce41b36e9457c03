library(testthat)
library(tessil)

test_check("tessil")
