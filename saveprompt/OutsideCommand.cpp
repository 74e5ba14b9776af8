#include "OutsideCommand.h"

#include <windows.h>
#include <shellapi.h>

#include <optional>
#include <sstream>

namespace {

// The extensions the shell tries for a bare program name, in its order.
std::string ProgramExtensions() {
  char buffer[1024] = {};
  const DWORD length = GetEnvironmentVariableA("PATHEXT", buffer, sizeof buffer);
  if (length == 0 || length >= sizeof buffer) return ".COM;.EXE;.BAT;.CMD";
  return buffer;
}

std::optional<std::string> ProgramInFolder(const std::string& folder, const std::string& name) {
  std::istringstream extensions(ProgramExtensions());
  std::string extension;
  while (std::getline(extensions, extension, ';')) {
    if (extension.empty()) continue;
    const std::string path = folder + "\\" + name + extension;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return path;
  }
  return std::nullopt;
}

// Makes `folder` the current folder for the lifetime of the object, then puts the old one back.
class CurrentFolder {
 public:
  explicit CurrentFolder(const std::string& folder) {
    const DWORD size = GetCurrentDirectoryA(0, nullptr);
    previous_.resize(size);
    const DWORD length = GetCurrentDirectoryA(size, previous_.data());
    previous_.resize(length < size ? length : 0);
    entered_ = !previous_.empty() && SetCurrentDirectoryA(folder.c_str());
  }
  CurrentFolder(const CurrentFolder&) = delete;
  CurrentFolder& operator=(const CurrentFolder&) = delete;
  ~CurrentFolder() {
    if (entered_) SetCurrentDirectoryA(previous_.c_str());
  }
  [[nodiscard]] bool Entered() const { return entered_; }

 private:
  std::string previous_;
  bool entered_ = false;
};

std::intptr_t ShellOpenHidden(const std::string& file, const std::string& parameters) {
  SHELLEXECUTEINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_FLAG_NO_UI;
  info.lpVerb = "Open";
  info.lpFile = file.c_str();
  info.lpParameters = parameters.c_str();
  info.lpDirectory = "";
  info.nShow = SW_HIDE;
  ShellExecuteExA(&info);
  return reinterpret_cast<std::intptr_t>(info.hInstApp);
}

}  // namespace

std::intptr_t StartOutsideCommand(const std::string& appFolder, const std::string& name,
                                  const std::string& parameters) {
  if (const auto program = ProgramInFolder(appFolder, name)) return ShellOpenHidden(*program, parameters);
  const CurrentFolder inAppFolder(appFolder);
  if (!inAppFolder.Entered()) return 0;  // rather not started than started from an unknown folder
  return ShellOpenHidden(name, parameters);
}
