// Every setting, named once: where it is stored, what it holds, what a new install stores, how its
// text is read, and the policy value that overrides it. The settings routines, the preferences
// window, the job, the installer's defaults and the Group Policy templates all follow this table.
// No <windows.h> and nothing to link: the build machine compiles it too, to write the installer's
// defaults and the list the templates are checked against.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace settings {

enum class Id {
  SaveLocation,
  Password,
  AllowCopy,
  AllowPrint,
  ViewPDF,
  KeyLength,
  AutoSave,
  AutoSavePath,
  AutoSaveName
};

// A flag shows in a three-state box (read rounded, a "2" greyed: CheckFlag.h), a number in a box that
// is ticked for its `on` text, a folder or other text in a text box.
enum class Kind { Flag, Folder, Number, Text };

// How the job takes a setting's text as on or off. The flags are read as the number at the start of
// their text (empty text is 0), each with the test it has always had.
enum class Reading {
  Text,        // not a switch: the text is used as it is
  ExactlyOne,  // on when the number is exactly 1
  AboveZero,   // on when the number is above 0
  NotZero,     // on for any number but 0, so a stray "2" or "-1" errs on the side of a restriction
  OnText,      // on for the row's `on` text exactly, nothing else
};

struct Setting {
  Id id;
  // The setting's key under SOFTWARE\Folvarek.
  std::string_view key;
  // The subkey whose default value holds the data.
  std::string_view valueKey;
  Kind kind;
  // What a ticked and a cleared box store; empty for the folder.
  std::string_view on, off;
  // What a new install stores; empty: nothing, and a missing value reads as empty text, which every
  // reading takes as off (for the folder: no default folder; for the name template: {title}).
  std::string_view installed;
  Reading reading;
  // The name of its value under the policy key.
  std::string_view policy;
};

// The settings tree below HKEY_LOCAL_MACHINE, and the key whose values override it.
inline constexpr std::string_view kTree = "SOFTWARE\\Folvarek";
inline constexpr std::string_view kPolicyKey = "SOFTWARE\\Policies\\Folvarek";

// clang-format off
inline constexpr std::array<Setting, 9> kSettings = {{
    {Id::SaveLocation, "SaveLocation", "Path", Kind::Folder, "",    "",    "",    Reading::Text,       "SaveLocation"},
    {Id::Password,     "Password",     "Opt",  Kind::Flag,   "1",   "0",   "",    Reading::ExactlyOne, "Password"},
    {Id::AllowCopy,    "AllowCopy",    "Opt",  Kind::Flag,   "1",   "0",   "",    Reading::NotZero,    "AllowCopy"},
    {Id::AllowPrint,   "AllowPrint",   "Opt",  Kind::Flag,   "1",   "0",   "",    Reading::NotZero,    "AllowPrint"},
    {Id::ViewPDF,      "ViewPDF",      "Opt",  Kind::Flag,   "1",   "0",   "",    Reading::AboveZero,  "ViewPDF"},
    {Id::KeyLength,    "KeyLength",    "Opt",  Kind::Number, "256", "128", "256", Reading::OnText,     "KeyLength"},
    // Saving without the Save dialog: only the exact text "1" switches it on. The folder's %VARIABLE%s
    // are the user's own; an empty folder means SaveLocation's, an empty template {title}.
    {Id::AutoSave,     "AutoSave",     "Opt",  Kind::Flag,   "1",   "0",   "",    Reading::OnText,     "AutoSave"},
    {Id::AutoSavePath, "AutoSave",     "Path", Kind::Folder, "",    "",    "",    Reading::Text,       "AutoSavePath"},
    {Id::AutoSaveName, "AutoSave",     "Name", Kind::Text,   "",    "",    "{title}", Reading::Text,   "AutoSaveName"},
}};
// clang-format on

[[nodiscard]] constexpr const Setting& Of(Id id) { return kSettings[static_cast<std::size_t>(id)]; }

// Rows in the order of Id, so Of() finds each.
static_assert([] {
  for (std::size_t i = 0; i < kSettings.size(); ++i) {
    if (kSettings[i].id != static_cast<Id>(i)) return false;
  }
  return true;
}());

// Whether a setting's text (as the routines read it, policy first) reads as on. A folder or other text
// is no switch and never reads as on.
[[nodiscard]] bool IsOn(Id id, std::string_view text);

// The key length in bits that secured PDFs get from the KeyLength setting's text.
[[nodiscard]] int KeyLengthBits(std::string_view text);

}  // namespace settings
