#include "Matrices.h"

#include <new>
#include <string>

#include "Errors.h"

namespace tessil {

template <typename Cell>
Grid<Cell>::Grid(std::int32_t rows, std::int32_t cols) : rows_(rows), cols_(cols) {
  if (rows < 0 || cols < 0) {
    throw RunSettingsError(RunSettingsError::Overflow, "A matrix cannot have a negative size.");
  }
  const std::uint64_t cells = static_cast<std::uint64_t>(rows) * static_cast<std::uint64_t>(cols);
  if (cells > cells_.max_size()) {
    throw RunSettingsError(RunSettingsError::OutOfMemory, "A matrix of " + std::to_string(rows) + " x " +
                                                              std::to_string(cols) + " cells is too large to hold.");
  }
  try {
    cells_.assign(static_cast<std::size_t>(cells), Cell{});
  } catch (const std::bad_alloc&) {
    throw RunSettingsError(RunSettingsError::OutOfMemory, "There is not enough memory for a matrix of " +
                                                              std::to_string(rows) + " x " + std::to_string(cols) +
                                                              " cells.");
  }
}

template class Grid<double>;
template class Grid<std::int16_t>;
template class Grid<ConditionalPair>;

}  // namespace tessil
