// The settings tree HKEY_LOCAL_MACHINE\SOFTWARE\Folvarek: one reader and one writer per setting.
// Each setting's data is the default value of SOFTWARE\Folvarek\<setting>\<Opt|Path>, a REG_SZ in
// the process code page (UTF-8 through the manifest). KeyLength holds a number of bits ("256" or
// "128") rather than a flag. Readers give empty text for anything missing
// or unreadable; writers report whether the value was stored. No state is kept between calls.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "Unique.h"

namespace ModReg {

// Opens path below root (HKEY_LOCAL_MACHINE in every use); an empty owner when it cannot.
[[nodiscard]] win::UniqueHKey OpenSettingKey(HKEY root, const std::string& path, REGSAM access = KEY_READ);

// A value's text through a 260-byte buffer; empty for a null key, a missing value, or data that
// does not fit (260 bytes or more with its NUL).
[[nodiscard]] std::string QueryValueText(HKEY key, const std::string& valueName);

[[nodiscard]] std::string GetSaveLocation();
[[nodiscard]] std::string GetPasswordOpt();
[[nodiscard]] std::string GetAllowCopyOpt();
[[nodiscard]] std::string GetAllowPrintOpt();
[[nodiscard]] std::string GetViewPDFOpt();
[[nodiscard]] std::string GetKeyLengthOpt();

// The text is stored exactly as given: never trimmed, quoted or extended.
[[nodiscard]] bool SetSaveLocation(std::string_view path);
[[nodiscard]] bool SetPasswordOpt(std::string_view flag);
[[nodiscard]] bool SetAllowCopyOpt(std::string_view flag);
[[nodiscard]] bool SetAllowPrintOpt(std::string_view flag);
[[nodiscard]] bool SetViewPDFOpt(std::string_view flag);
[[nodiscard]] bool SetKeyLengthOpt(std::string_view bits);

}  // namespace ModReg
