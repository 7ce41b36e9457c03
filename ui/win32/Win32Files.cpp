#include "Win32Files.h"

#include <algorithm>

#include "Win32Controls.h"

namespace tessil::win32ui {

std::wstring SystemMessage(unsigned long error) {
  wchar_t* text = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = length > 0 && text != nullptr ? std::wstring(text, length) : std::wstring();
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.')) {
    message.pop_back();
  }
  if (message.empty()) message = L"Windows error " + std::to_wstring(error);
  return message;
}

bool WriteFileWhole(const std::wstring& path, std::string_view bytes, std::wstring* reason) {
  const std::wstring temporary = path + L".partial~";
  auto fail = [&](DWORD error) {
    if (reason != nullptr) *reason = SystemMessage(error);
    DeleteFileW(temporary.c_str());
    return false;
  };
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    if (reason != nullptr) *reason = L"It is a folder, not a file";
    return false;
  }
  HANDLE file =
      CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return fail(GetLastError());
  std::size_t written = 0;
  while (written < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1U << 20));
    DWORD done = 0;
    if (WriteFile(file, bytes.data() + written, chunk, &done, nullptr) == 0 || done == 0) {
      const DWORD error = GetLastError();
      CloseHandle(file);
      return fail(error);
    }
    written += done;
  }
  const bool flushed = FlushFileBuffers(file) != 0;
  const DWORD flushError = GetLastError();
  if (CloseHandle(file) == 0) return fail(GetLastError());
  if (!flushed) return fail(flushError);
  if (MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
    return fail(GetLastError());
  }
  return true;
}

}  // namespace tessil::win32ui
