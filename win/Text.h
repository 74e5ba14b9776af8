// Text between the programs' UTF-8 and Windows' UTF-16, and the system's words for an error code.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace win {

[[nodiscard]] std::wstring Wide(std::string_view utf8);
[[nodiscard]] std::string Utf8(std::wstring_view wide);

// The system's text for a Win32 error code without its line break; "System error N" when the
// system has none.
[[nodiscard]] std::wstring ErrorTextW(DWORD code);
[[nodiscard]] std::string ErrorText(DWORD code);

}  // namespace win
