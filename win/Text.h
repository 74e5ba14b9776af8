// Text between the programs' UTF-8 and Windows' UTF-16, the system's words for an error code, and
// the "ask for the size, then fill" calls.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace win {

[[nodiscard]] std::wstring Wide(std::string_view utf8);
[[nodiscard]] std::string Utf8(std::wstring_view wide);

// The system's text for a Win32 error code without its line break; "System error N" when the
// system has none.
[[nodiscard]] std::wstring ErrorText(DWORD code);

// A text from a call that fills a buffer of `size` characters and returns the length it wrote
// (without the NUL), or, when the buffer was too small, the size it needs (or `size` itself, as
// GetModuleFileName does); 0 with an error set when it failed. The buffer grows until the text
// fits. Nothing when the call failed (GetLastError says why); empty text when there is none.
[[nodiscard]] std::optional<std::wstring> FetchString(const std::function<DWORD(wchar_t* buffer, DWORD size)>& fill,
                                                      DWORD firstSize = MAX_PATH);

}  // namespace win
