#include "MemoryLimit.h"

#include <algorithm>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tessil {

std::uint64_t StudyMemoryLimit(std::uint64_t physicalMemory) {
  const std::uint64_t stated = std::uint64_t{2} << 30;
  return physicalMemory == 0 ? stated : std::min(stated, physicalMemory / 2);
}

std::uint64_t PhysicalMemory() {
#ifdef _WIN32
  MEMORYSTATUSEX status;
  status.dwLength = sizeof status;
  if (GlobalMemoryStatusEx(&status)) return status.ullTotalPhys;
#elif defined(_SC_PHYS_PAGES) && defined(_SC_PAGE_SIZE)
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGE_SIZE);
  if (pages > 0 && pageSize > 0) return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
#endif
  return 0;
}

}  // namespace tessil
