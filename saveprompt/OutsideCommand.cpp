#include "OutsideCommand.h"

#include <shellapi.h>

#include <optional>
#include <vector>

namespace {

bool IsBareName(const std::string& file) { return file.find_first_of("\\/:") == std::string::npos; }

// The program `name` (".exe" added when it has no extension) in one of `folders`; empty if none.
std::string SearchFolders(const std::string& folders, const std::string& name) {
  std::vector<char> found(MAX_PATH);
  for (;;) {
    const DWORD length = SearchPathA(folders.c_str(), name.c_str(), ".exe", static_cast<DWORD>(found.size()),
                                     found.data(), nullptr);
    if (length == 0) return {};
    if (length < found.size()) break;
    found.resize(length);
  }
  const std::string path(found.data());
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
  return path;
}

std::optional<std::string> EnvironmentValue(const std::string& name) {
  const DWORD size = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
  if (size == 0) return std::nullopt;
  std::string value(size, '\0');
  value.resize(GetEnvironmentVariableA(name.c_str(), value.data(), size));
  return value;
}

// Puts a variable into this process's environment for as long as it lives (children started
// meanwhile inherit it) and restores what was there before.
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
    if (name_.empty()) return;
    SetEnvironmentVariableA(name_.c_str(), previous_ ? previous_->c_str() : nullptr);
  }

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

}  // namespace

std::string FindOutsideCommand(const std::string& appFolder, const std::string& name) {
  if (!IsBareName(name)) return name;
  if (std::string inApp = SearchFolders(appFolder, name); !inApp.empty()) return inApp;
  const std::optional<std::string> path = EnvironmentValue("PATH");
  return path ? SearchFolders(*path, name) : std::string();
}

OutsideStart StartOutsideCommand(const std::string& appFolder, const OutsideCommand& command) {
  OutsideStart start;
  const std::string file = FindOutsideCommand(appFolder, command.file);
  if (file.empty()) {
    start.result = SE_ERR_FNF;
    return start;
  }
  SHELLEXECUTEINFOA info{};
  info.cbSize = sizeof info;
  // NOASYNC: the child is created before the call returns, so it sees the variable set for it.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.lpVerb = command.verb.c_str();
  info.lpFile = file.c_str();
  info.lpParameters = command.parameters.c_str();
  info.lpDirectory = command.folder.empty() ? nullptr : command.folder.c_str();
  info.nShow = command.show;
  {
    const ScopedEnvironment environment(command.environmentName, command.environmentValue);
    ShellExecuteExA(&info);
    start.result = static_cast<int>(reinterpret_cast<INT_PTR>(info.hInstApp));
  }
  start.process = UniqueHandle(info.hProcess);
  return start;
}
