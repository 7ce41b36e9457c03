// Files written whole or not at all: the bytes go to a temporary file in the
// same folder, which then replaces the target in one step, so that a failed
// write never destroys what was there.
#pragma once

#include <string>
#include <string_view>

namespace tessil::win32ui {

// False with Windows' reason in `reason` when anything fails.
bool WriteFileWhole(const std::wstring& path, std::string_view bytes, std::wstring* reason);

// Windows' description of an error number, without its line break.
std::wstring SystemMessage(unsigned long error);

}  // namespace tessil::win32ui
