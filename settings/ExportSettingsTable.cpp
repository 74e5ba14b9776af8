// Writes the settings table for what is not C++, at build time on the build machine:
//   ExportSettingsTable NSH LIST
// NSH: an NSIS include with the macro NewInstallSettings, which stores what a new install stores.
// LIST: one line per setting, tab-separated: key, value key, kind, on, off, new install's text, policy; the
// tests check the Group Policy templates and an installed tree against it.
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

#include "SettingsTable.h"

namespace {

std::string_view KindName(settings::Kind kind) {
  switch (kind) {
    case settings::Kind::Flag: return "flag";
    case settings::Kind::Folder: return "folder";
    case settings::Kind::Number: return "number";
    case settings::Kind::Text: return "text";
  }
  return "";
}

// Text inside an NSIS string in double quotes.
std::string NsisQuoted(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '$')
      quoted += "$$";
    else if (c == '"')
      quoted += "$\\\"";
    else
      quoted += c;
  }
  return quoted + '"';
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: ExportSettingsTable NSH LIST\n";
    return 2;
  }
  std::ofstream nsh(argv[1]);
  std::ofstream list(argv[2]);
  nsh << "; Written from the settings table at build time.\n!macro NewInstallSettings\n";
  for (const settings::Setting& s : settings::kSettings) {
    const std::string path = std::string(settings::kTree) + "\\" + std::string(s.key) + "\\" + std::string(s.valueKey);
    if (!s.installed.empty())
      nsh << "  WriteRegStr HKLM " << NsisQuoted(path) << " \"\" " << NsisQuoted(s.installed) << '\n';
    list << s.key << '\t' << s.valueKey << '\t' << KindName(s.kind) << '\t' << s.on << '\t' << s.off << '\t'
         << s.installed << '\t' << s.policy << '\n';
  }
  nsh << "!macroend\n";
  nsh.close();
  list.close();
  if (!nsh || !list) {
    std::cerr << "ExportSettingsTable: could not write " << argv[1] << " or " << argv[2] << '\n';
    return 1;
  }
  return 0;
}
