#include "OutsideCommand.h"

#include <shellapi.h>

#include <optional>
#include <sstream>

#include "Files.h"
#include "Text.h"

namespace {

bool IsBareName(const std::string& file) { return file.find_first_of("\\/:") == std::string::npos; }

std::optional<std::wstring> EnvironmentValue(const std::wstring& name) {
  return win::FetchString(
      [&](wchar_t* buffer, DWORD size) { return GetEnvironmentVariableW(name.c_str(), buffer, size); });
}

// The extensions the shell tries for a bare program name, in its order.
std::wstring ProgramExtensions() {
  const std::optional<std::wstring> listed = EnvironmentValue(L"PATHEXT");
  return listed && !listed->empty() ? *listed : L".COM;.EXE;.BAT;.CMD";
}

std::optional<std::wstring> ProgramInFolder(const std::wstring& folder, const std::wstring& name) {
  std::wistringstream extensions(ProgramExtensions());
  std::wstring extension;
  while (std::getline(extensions, extension, L';')) {
    if (extension.empty()) continue;
    const std::wstring path = folder + L"\\" + name + extension;
    if (win::FileExists(path)) return path;
  }
  return std::nullopt;
}

// Makes `folder` the current folder for the lifetime of the object, then puts the old one back.
class CurrentFolder {
 public:
  explicit CurrentFolder(const std::wstring& folder) {
    previous_ = win::FetchString([](wchar_t* buffer, DWORD size) { return GetCurrentDirectoryW(size, buffer); })
                    .value_or(L"");
    entered_ = !previous_.empty() && SetCurrentDirectoryW(folder.c_str());
  }
  CurrentFolder(const CurrentFolder&) = delete;
  CurrentFolder& operator=(const CurrentFolder&) = delete;
  ~CurrentFolder() {
    if (entered_) SetCurrentDirectoryW(previous_.c_str());
  }
  [[nodiscard]] bool Entered() const { return entered_; }

 private:
  std::wstring previous_;
  bool entered_ = false;
};

// Puts a variable into this process's environment for as long as it lives (a child started
// meanwhile inherits it), then restores what was there before.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const std::string& name, const std::string& value) : name_(win::Wide(name)) {
    if (name_.empty()) return;
    previous_ = EnvironmentValue(name_);
    SetEnvironmentVariableW(name_.c_str(), value.empty() ? nullptr : win::Wide(value).c_str());
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  ~ScopedEnvironment() {
    if (!name_.empty()) SetEnvironmentVariableW(name_.c_str(), previous_ ? previous_->c_str() : nullptr);
  }

 private:
  std::wstring name_;
  std::optional<std::wstring> previous_;
};

OutsideStart ShellStart(const std::wstring& file, const OutsideCommand& command) {
  const std::wstring verb = win::Wide(command.verb), parameters = win::Wide(command.parameters),
                     folder = win::Wide(command.folder);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  // NOASYNC: the child exists when the call returns, so it has seen the variable set for it.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.lpVerb = verb.c_str();
  info.lpFile = file.c_str();
  info.lpParameters = parameters.c_str();
  info.lpDirectory = folder.c_str();
  info.nShow = command.show;
  {
    const ScopedEnvironment environment(command.environmentName, command.environmentValue);
    ShellExecuteExW(&info);
  }
  OutsideStart start;
  start.result = reinterpret_cast<std::intptr_t>(info.hInstApp);
  start.process.reset(info.hProcess);
  return start;
}

}  // namespace

OutsideStart StartOutsideCommand(const std::string& appFolder, const OutsideCommand& command) {
  const std::wstring file = win::Wide(command.file), folder = win::Wide(appFolder);
  if (!IsBareName(command.file)) return ShellStart(file, command);
  if (const auto program = ProgramInFolder(folder, file)) return ShellStart(*program, command);
  const CurrentFolder inAppFolder(folder);
  if (!inAppFolder.Entered()) return {};  // rather not started than started from an unknown folder
  return ShellStart(file, command);
}

std::intptr_t StartOutsideCommand(const std::string& appFolder, const std::string& name,
                                  const std::string& parameters) {
  OutsideCommand command;
  command.file = name;
  command.parameters = parameters;
  return StartOutsideCommand(appFolder, command).result;
}
