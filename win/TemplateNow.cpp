#include "TemplateNow.h"

#include <windows.h>
#include <lmcons.h>

#include <string_view>
#include <utility>

#include "Text.h"

namespace win {

namespace {

std::string UserName() {
  wchar_t name[UNLEN + 1];
  DWORD size = UNLEN + 1;
  return GetUserNameW(name, &size) && size > 0 ? Utf8(std::wstring_view(name, size - 1)) : std::string();
}

std::string ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  return GetComputerNameW(name, &size) ? Utf8(std::wstring_view(name, size)) : std::string();
}

std::string Environment(const wchar_t* name) {
  return Utf8(FetchString([name](wchar_t* buffer, DWORD size) {
                return GetEnvironmentVariableW(name, buffer, size);
              }).value_or(L""));
}

}  // namespace

folvarek::TemplateValues TemplateValuesNow(std::string title) {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return {.title = std::move(title),
          .year = now.wYear,
          .month = now.wMonth,
          .day = now.wDay,
          .hour = now.wHour,
          .minute = now.wMinute,
          .second = now.wSecond,
          .user = UserName(),
          .domain = Environment(L"USERDOMAIN"),
          .computer = ComputerName()};
}

}  // namespace win
