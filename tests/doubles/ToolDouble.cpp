// A stand-in for the outside tools (pdfenc, the stamp tool, a viewer, a browser), copied under the
// name it plays. FOLVAREK_DOUBLES names a folder with, for a double called <name>:
//   <name>.control  optional lines: mode=now|slow|never|empty|fail|hang (now), delay_ms=N (before
//                   writing), chunks=N and chunk_ms=N (slow: pieces, pause between), linger_ms=N (after
//                   writing), exit=N (fail: the exit code, 3), staged=1 (write "<output>.a1b2c3.tmp"
//                   beside the output and rename it at the end, as the real tools do)
//   <name>.record   its own path, the command line, each argument, the password variable and the working folder;
//                   then "written" once the output is complete
// The output (the argument after "output", else the second) is the first argument's content and a
// line naming the double and, for the stamp tool, the stamp's first line.
#include <windows.h>
#include <shellapi.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "Text.h"
#include "Unique.h"

using testsupport::ReadFile;
using win::Utf8;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  wchar_t buffer[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"FOLVAREK_DOUBLES", buffer, MAX_PATH) == 0) return 90;
  const std::string folder = Utf8(buffer);
  GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  const std::string self = Utf8(buffer);
  std::string name = self.substr(self.find_last_of('\\') + 1);
  name = name.substr(0, name.find_last_of('.'));
  std::map<std::string, std::string> control{{"mode", "now"}, {"chunks", "4"}, {"chunk_ms", "150"}, {"exit", "3"}};
  std::istringstream lines(ReadFile(folder + "\\" + name + ".control"));
  for (std::string line; std::getline(lines, line);) {
    if (line.find('=') != std::string::npos) control[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
  }
  const auto number = [&](const char* key) { return control.count(key) ? std::stoi(control[key]) : 0; };
  const std::string& mode = control["mode"];

  int argc = 0;
  const win::UniqueLocal<wchar_t*> argvW(CommandLineToArgvW(GetCommandLineW(), &argc));
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(Utf8(argvW.get()[i]));

  std::ofstream record(win::Wide(folder + "\\" + name + ".record").c_str(), std::ios::binary);
  record << "self=" << self << "\nline=" << Utf8(GetCommandLineW()) << "\n";
  for (std::size_t i = 1; i < args.size(); ++i) record << "arg" << i << "=" << args[i] << "\n";
  wchar_t password[512] = {};
  const bool set =
      GetEnvironmentVariableW(L"FOLVAREK_PDF_PASSWORD", password, 512) > 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND;
  record << (set ? "password=" + Utf8(password) : std::string("password-unset")) << "\n";
  GetCurrentDirectoryW(MAX_PATH, buffer);
  record << "cwd=" << Utf8(buffer) << "\n" << std::flush;
  Sleep(number("delay_ms"));

  std::string output = args.size() > 2 ? args[2] : "", stamp;
  for (std::size_t i = 1; i + 1 < args.size(); ++i) {
    if (args[i] == "output") output = args[i + 1];
    if (args[i] == "background") stamp = args[i + 1];
  }
  if (mode == "hang") Sleep(INFINITE);
  if (mode == "empty") std::ofstream(win::Wide(output).c_str(), std::ios::binary);
  if ((mode == "now" || mode == "slow") && !output.empty()) {
    std::string marker = "\n%" + name;
    if (!stamp.empty()) marker += " on " + ReadFile(stamp).substr(0, ReadFile(stamp).find('\n'));
    marker += "\n";
    const std::string writeTo = control.count("staged") ? output + ".a1b2c3.tmp" : output;
    if (mode == "now") {  // a copy by the system, so even a large input takes the double little time
      CopyFileW(win::Wide(args.at(1)).c_str(), win::Wide(writeTo).c_str(), FALSE);
      std::ofstream(win::Wide(writeTo).c_str(), std::ios::binary | std::ios::app) << marker;
    } else {
      const std::string content = ReadFile(args.at(1)) + marker;
      std::ofstream out(win::Wide(writeTo).c_str(), std::ios::binary);
      const std::size_t size = (content.size() + number("chunks") - 1) / number("chunks");
      for (int piece = 0; piece < number("chunks"); ++piece) {
        if (piece > 0) Sleep(number("chunk_ms"));
        out << content.substr(piece * size, size) << std::flush;
      }
    }
    if (writeTo != output)
      MoveFileExW(win::Wide(writeTo).c_str(), win::Wide(output).c_str(), MOVEFILE_REPLACE_EXISTING);
    record << "written\n";
  }
  record.close();
  Sleep(number("linger_ms"));
  return mode == "fail" ? number("exit") : 0;
}
