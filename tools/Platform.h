// The few things the tools need from the operating system, in UTF-8, with one implementation
// for Windows and one for POSIX systems.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <qpdf/InputSource.hh>

namespace folvarek::tools {

// The program's arguments after its name. On Windows they come from the wide command line, split
// as CommandLineToArgvW splits it, so any file name survives whatever the code page.
[[nodiscard]] std::vector<std::string> CommandArguments(int argc, char** argv);

// The value of an environment variable; nothing when it is not set.
[[nodiscard]] std::optional<std::string> EnvironmentValue(const char* name);

// The file at `path` for qpdf to read. When the file cannot be opened, qpdf's reading of it throws
// QPDFSystemError.
[[nodiscard]] std::shared_ptr<InputSource> OpenInput(const std::string& path);

// A file that did not exist before, opened for binary writing. nullptr when the name is taken;
// nullptr with `reason` set when the file cannot be created for another reason.
[[nodiscard]] std::FILE* CreateNewFile(const std::string& path, std::string& reason);

// Renames `from` to `to` in one step, replacing `to`. The reason when it fails, else "".
[[nodiscard]] std::string MoveOver(const std::string& from, const std::string& to);

void RemoveFile(const std::string& path) noexcept;

// Has qpdf take its random bytes (AES initialisation vectors, random passwords and file names)
// straight from the system's generator. qpdf's own Windows source sets up a new crypto context
// for every stream it encrypts, which made a thousand-page file take 30 times longer under Wine.
void UseSystemRandom();

}  // namespace folvarek::tools
