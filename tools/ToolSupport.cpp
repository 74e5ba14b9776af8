#include "ToolSupport.h"

#include <algorithm>
#include <cstdio>
#include <exception>

#include <qpdf/QUtil.hh>

#include "Platform.h"

namespace folvarek::tools {

namespace {

int Report(const char* toolName, const char* reason, int exitCode) {
  std::string line = std::string(toolName) + ": " + reason;
  // One line, whatever a library put into its message.
  std::replace_if(
      line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  line += '\n';
  std::fputs(line.c_str(), stderr);
  return exitCode;
}

}  // namespace

int RunTool(const char* toolName, int argc, char** argv,
            const std::function<void(const std::vector<std::string>&)>& work) {
  try {
    UseSystemRandom();
    work(CommandArguments(argc, argv));
    return 0;
  } catch (const UsageError& e) {
    return Report(toolName, e.what(), 2);
  } catch (const std::exception& e) {
    return Report(toolName, e.what(), 1);
  }
}

std::string RandomHex(std::size_t byteCount) {
  std::string bytes(byteCount, '\0');
  QUtil::initializeWithRandomBytes(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size());
  return QUtil::hex_encode(bytes);
}

std::string Quoted(const std::string& name) { return '"' + name + '"'; }

}  // namespace folvarek::tools
