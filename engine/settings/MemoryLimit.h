// How much memory a study and each of its tests may use, so that work too
// large for the machine is refused before it starts instead of failing in it.
#pragma once

#include <cstdint>

namespace tessil {

// The memory a study's matrices may take: 2 GiB, or half the machine's
// physical memory where that is less. `physicalMemory` 0 means unknown.
std::uint64_t StudyMemoryLimit(std::uint64_t physicalMemory);
// The machine's physical memory in bytes; 0 when it cannot be told.
std::uint64_t PhysicalMemory();

}  // namespace tessil
