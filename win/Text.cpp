#include "Text.h"

#include "Unique.h"

namespace win {

std::wstring Wide(std::string_view utf8) {
  const int size = static_cast<int>(utf8.size());
  std::wstring wide(size == 0 ? 0 : MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0), L'\0');
  if (!wide.empty()) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), static_cast<int>(wide.size()));
  return wide;
}

std::string Utf8(std::wstring_view wide) {
  const int size = static_cast<int>(wide.size());
  std::string utf8(size == 0 ? 0 : WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr),
                   '\0');
  if (!utf8.empty()) {
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
  }
  return utf8;
}

std::wstring ErrorText(DWORD code) {
  wchar_t* raw = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&raw), 0, nullptr);
  const UniqueLocal<wchar_t> owned(raw);
  std::wstring text(raw != nullptr ? raw : L"", raw != nullptr ? length : 0);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
  return text.empty() ? L"System error " + std::to_wstring(code) : text;
}

std::optional<std::wstring> FetchString(const std::function<DWORD(wchar_t*, DWORD)>& fill, DWORD firstSize) {
  std::wstring text(firstSize > 0 ? firstSize : 1, L'\0');
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    const DWORD length = fill(text.data(), static_cast<DWORD>(text.size()));
    if (length == 0 && GetLastError() != ERROR_SUCCESS) return std::nullopt;
    if (length < text.size()) {
      text.resize(length);
      return text;
    }
    // Too small: the size asked for, or twice as much when the call only says it filled the buffer.
    text.resize(length > text.size() ? length : text.size() * 2);
  }
}

}  // namespace win
