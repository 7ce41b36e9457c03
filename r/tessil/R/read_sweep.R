#' The studies of a finished sweep as one data frame
#'
#' Reads the folder that `tessil-cli sweep` wrote, as `tessil-cli merge
#' --arguments` reads it (the same reader): one row per study and argument of
#' the power function, studies in the plan's order. A folder that holds no
#' sweep, or whose plan is not the sweep's, is refused with merge's message.
#'
#' @param dir The sweep's folder.
#' @param allow_missing When some of the plan's studies are not in the folder
#'   the call fails, listing them, unless this is `TRUE`: the table then holds
#'   the studies present, the warning lists the others, and so does the
#'   attribute `missing`.
#' @return A data frame: `study` (its identity), the 13 settings, `seed`,
#'   `ecosim-seed`, then `level`, `scenario`, `in_null`, `matrices`,
#'   `rejected`, `not_tested`, `power`, `ci_lower` and `ci_upper`.
#' @examples
#' \dontrun{
#' # After: tessil-cli sweep examples/sweep-size.toml -o size-sweep
#' sweep <- read_sweep("size-sweep")
#' aggregate(power ~ rows + cols, data = sweep[!sweep$in_null, ], FUN = min)
#' }
#' @export
read_sweep <- function(dir, allow_missing = FALSE) {
  if (!is.character(dir) || length(dir) != 1L || is.na(dir)) stop("dir: give one folder", call. = FALSE)
  merged <- .tessil_merge(path.expand(dir), isTRUE(allow_missing))
  said <- sub("^tessil-cli: ", "", strsplit(merged$messages, "\n", fixed = TRUE)[[1L]])
  if (merged$status != 0L) stop(paste(said, collapse = "\n"), call. = FALSE)
  if (length(said)) warning(paste(said, collapse = "\n"), call. = FALSE)
  table <- utils::read.delim(text = merged$table, sep = "\t", check.names = FALSE, stringsAsFactors = FALSE,
                             colClasses = c(study = "character", `ecosim-seed` = "character"))
  for (column in c("in_null")) table[[column]] <- table[[column]] == "true" | table[[column]] %in% TRUE
  missing <- grep("^  [0-9a-f]{16} ", said, value = TRUE)
  attr(table, "missing") <- sub("^  ([0-9a-f]{16}) .*$", "\\1", missing)
  table
}
