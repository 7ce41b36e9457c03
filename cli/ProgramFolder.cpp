#include "ProgramFolder.h"

#include <string>
#include <system_error>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace tessil::cli {

std::filesystem::path ProgramFolder() {
#ifdef _WIN32
  // Wide characters, so that a folder name outside the user's code page
  // survives; the buffer grows until the whole name fits.
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) break;
    if (length < name.size()) {
      name.resize(length);
      return std::filesystem::path(name).parent_path();
    }
    if (name.size() >= 32768) break;
    name.resize(name.size() * 2);
  }
#else
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) return self.parent_path();
#endif
  std::error_code ignored;
  return std::filesystem::current_path(ignored);
}

}  // namespace tessil::cli
