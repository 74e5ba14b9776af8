#include "OutsideCommand.h"

#include <shellapi.h>

#include <optional>
#include <sstream>

namespace {

bool IsBareName(const std::string& file) { return file.find_first_of("\\/:") == std::string::npos; }

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

std::optional<std::string> EnvironmentValue(const std::string& name) {
  const DWORD size = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
  if (size == 0) return std::nullopt;
  std::string value(size, '\0');
  value.resize(GetEnvironmentVariableA(name.c_str(), value.data(), size));
  return value;
}

// Puts a variable into this process's environment for as long as it lives (a child started
// meanwhile inherits it), then restores what was there before.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const std::string& name, const std::string& value) : name_(name) {
    if (name_.empty()) return;
    previous_ = EnvironmentValue(name_);
    SetEnvironmentVariableA(name_.c_str(), value.empty() ? nullptr : value.c_str());
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  ~ScopedEnvironment() {
    if (!name_.empty()) SetEnvironmentVariableA(name_.c_str(), previous_ ? previous_->c_str() : nullptr);
  }

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

OutsideStart ShellStart(const std::string& file, const OutsideCommand& command) {
  SHELLEXECUTEINFOA info{};
  info.cbSize = sizeof info;
  // NOASYNC: the child exists when the call returns, so it has seen the variable set for it.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.lpVerb = command.verb.c_str();
  info.lpFile = file.c_str();
  info.lpParameters = command.parameters.c_str();
  info.lpDirectory = command.folder.c_str();
  info.nShow = command.show;
  {
    const ScopedEnvironment environment(command.environmentName, command.environmentValue);
    ShellExecuteExA(&info);
  }
  OutsideStart start;
  start.result = reinterpret_cast<std::intptr_t>(info.hInstApp);
  start.process.reset(info.hProcess);
  return start;
}

}  // namespace

OutsideStart StartOutsideCommand(const std::string& appFolder, const OutsideCommand& command) {
  if (!IsBareName(command.file)) return ShellStart(command.file, command);
  if (const auto program = ProgramInFolder(appFolder, command.file)) return ShellStart(*program, command);
  const CurrentFolder inAppFolder(appFolder);
  if (!inAppFolder.Entered()) return {};  // rather not started than started from an unknown folder
  return ShellStart(command.file, command);
}

std::intptr_t StartOutsideCommand(const std::string& appFolder, const std::string& name,
                                  const std::string& parameters) {
  OutsideCommand command;
  command.file = name;
  command.parameters = parameters;
  return StartOutsideCommand(appFolder, command).result;
}
