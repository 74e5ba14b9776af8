// What pdfenc and the stamp tool share around their PDF work: arguments in UTF-8, failures
// reported as one line on stderr with a non-zero exit code, and random text.
#pragma once

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace folvarek::tools {

// A failure the user is told about in one line; the tool ends with exit code 1.
class ToolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Arguments that do not match the tool's argument line; the tool ends with exit code 2.
class UsageError : public ToolError {
 public:
  using ToolError::ToolError;
};

// Runs a tool's work on its arguments (UTF-8, without the program name). Returns the exit code:
// 0 when `work` returns, otherwise 1 or 2 after one line "<toolName>: <reason>" on stderr.
[[nodiscard]] int RunTool(const char* toolName, int argc, char** argv,
                          const std::function<void(const std::vector<std::string>&)>& work);

// `byteCount` bytes from the system's secure random source, as lower-case hexadecimal.
[[nodiscard]] std::string RandomHex(std::size_t byteCount);

// "name" in double quotes, the way every message shows a file name.
[[nodiscard]] std::string Quoted(const std::string& name);

}  // namespace folvarek::tools
