// Stands in for the outside commands ShowPass and ShowSave in the scenarios: each run appends its
// own file name to outside.log in its own folder, so a scenario sees which copy ran and how often.
#include <windows.h>

#include <fstream>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string self(path, length);
  const auto slash = self.find_last_of('\\');
  std::ofstream(self.substr(0, slash) + "\\outside.log", std::ios::app | std::ios::binary) << self.substr(slash + 1) << "\n";
  return 0;
}
