// The settings tree HKEY_LOCAL_MACHINE\SOFTWARE\Folvarek: one reader and one writer per setting, all
// through the settings table. Each setting's data is the default value of
// SOFTWARE\Folvarek\<setting>\<Opt|Path|Name>, a REG_SZ; a value named in the table under
// SOFTWARE\Policies\Folvarek, where Group Policy puts it, overrides it. Text is UTF-8 here and
// UTF-16 in the registry. Readers give empty text for anything missing or unreadable; writers report
// whether the value was stored. No state is kept between calls.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "SettingsTable.h"
#include "Unique.h"

namespace ModReg {

// Opens path below root (HKEY_LOCAL_MACHINE in every use); an empty owner when it cannot.
[[nodiscard]] win::UniqueHKey OpenSettingKey(HKEY root, const std::string& path, REGSAM access = KEY_READ);

// A value's text through a 260-character buffer; empty for a null key, a missing value, or text that
// does not fit (260 characters or more with its NUL).
[[nodiscard]] std::string QueryValueText(HKEY key, const std::string& valueName);

// The policy's value for a setting when an administrator has set one, empty text included: a REG_SZ
// as its text (read as QueryValueText reads), a REG_DWORD as its decimal text. A value of any other
// type has no text the programs could take, so it counts as not set.
[[nodiscard]] std::optional<std::string> PolicyValue(settings::Id id);

// The setting as it applies: the policy's value when there is one, else the stored one.
[[nodiscard]] std::string Read(settings::Id id);
// Stores the setting's text exactly as given: never trimmed, quoted or extended. A policy's value,
// which this does not change, still applies over it.
[[nodiscard]] bool Write(settings::Id id, std::string_view text);

[[nodiscard]] std::string GetSaveLocation();
[[nodiscard]] std::string GetPasswordOpt();
[[nodiscard]] std::string GetAllowCopyOpt();
[[nodiscard]] std::string GetAllowPrintOpt();
[[nodiscard]] std::string GetViewPDFOpt();
[[nodiscard]] std::string GetKeyLengthOpt();

[[nodiscard]] bool SetSaveLocation(std::string_view path);
[[nodiscard]] bool SetPasswordOpt(std::string_view flag);
[[nodiscard]] bool SetAllowCopyOpt(std::string_view flag);
[[nodiscard]] bool SetAllowPrintOpt(std::string_view flag);
[[nodiscard]] bool SetViewPDFOpt(std::string_view flag);
[[nodiscard]] bool SetKeyLengthOpt(std::string_view bits);

}  // namespace ModReg
