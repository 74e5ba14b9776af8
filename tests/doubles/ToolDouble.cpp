// A stand-in for the outside tools (pdfenc, the stamp tool, a PDF viewer, a web browser): one
// program, copied under the name of the tool it plays. It records how it was started and writes
// its output the way the scenario's control file asks.
//
// The folder named by FOLVAREK_DOUBLES holds, for a double named <name> (its file name without
// extension):
//   <name>.control  lines key=value, all optional:
//                   mode=now|slow|never|empty|fail|hang   (now when missing)
//                   delay_ms=N    wait before writing (a tool that takes a set time)
//                   chunks=N      slow: write the output in N pieces (4)
//                   chunk_ms=N    slow: pause between pieces (150)
//                   linger_ms=N   stay running this long after writing
//                   exit=N        fail: the exit code (3)
//                   staged=1      now/slow: write beside the output first ("<output>.a1b2c3.tmp")
//                                 and rename it at the end, as the real tools do
//   <name>.record   written at the start: the command line, each argument, the password variable,
//                   the working folder; then "written" once the output is complete.
//
// Output: the argument after the word "output" when there is one (the stamp tool), else the second
// argument (pdfenc). It is the first argument's content followed by a line naming the double, and
// for the stamp tool the stamp file's first line, so a scenario sees which files went in.
#include <windows.h>
#include <shellapi.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Utf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(size > 0 ? size - 1 : 0, '\0');
  if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  return out;
}

std::wstring Wide(const std::string& text) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring out(size > 0 ? size - 1 : 0, L'\0');
  if (size > 1) MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), size);
  return out;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(Wide(path).c_str(), std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

std::string OwnName() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::string name = Utf8(path);
  name = name.substr(name.find_last_of('\\') + 1);
  return name.substr(0, name.find_last_of('.'));
}

std::map<std::string, std::string> ReadControl(const std::string& path) {
  std::map<std::string, std::string> control;
  std::istringstream lines(ReadAll(path));
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto equals = line.find('=');
    if (equals != std::string::npos) control[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return control;
}

int Number(const std::map<std::string, std::string>& control, const std::string& key, int fallback) {
  const auto found = control.find(key);
  return found == control.end() ? fallback : std::stoi(found->second);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  wchar_t folderW[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"FOLVAREK_DOUBLES", folderW, MAX_PATH) == 0) return 90;
  const std::string folder = Utf8(folderW);
  const std::string name = OwnName();
  const auto control = ReadControl(folder + "\\" + name + ".control");
  const std::string mode = control.count("mode") ? control.at("mode") : "now";

  int argc = 0;
  wchar_t** argvW = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(Utf8(argvW[i]));
  LocalFree(argvW);

  std::ofstream record(Wide(folder + "\\" + name + ".record").c_str(), std::ios::binary);
  record << "line=" << Utf8(GetCommandLineW()) << "\n";
  for (std::size_t i = 1; i < args.size(); ++i) record << "arg" << i << "=" << args[i] << "\n";
  wchar_t password[512] = {};
  if (GetEnvironmentVariableW(L"FOLVAREK_PDF_PASSWORD", password, 512) > 0 ||
      GetLastError() != ERROR_ENVVAR_NOT_FOUND) {
    record << "password=" << Utf8(password) << "\n";
  } else {
    record << "password-unset\n";
  }
  wchar_t cwd[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, cwd);
  record << "cwd=" << Utf8(cwd) << "\n";
  record.flush();

  Sleep(Number(control, "delay_ms", 0));

  std::string input;
  std::string output;
  std::string stamp;
  for (std::size_t i = 1; i + 1 < args.size(); ++i) {
    if (args[i] == "output") output = args[i + 1];
    if (args[i] == "background") stamp = args[i + 1];
  }
  if (output.empty() && args.size() > 2) output = args[2];
  if (args.size() > 1) input = args[1];

  int exitCode = 0;
  if (mode == "hang") {
    Sleep(INFINITE);
  } else if (mode == "fail") {
    exitCode = Number(control, "exit", 3);
  } else if (mode == "empty") {
    std::ofstream(Wide(output).c_str(), std::ios::binary);
  } else if ((mode == "now" || mode == "slow") && !output.empty()) {
    std::string marker = "\n%" + name;
    if (!stamp.empty()) {
      const std::string background = ReadAll(stamp);
      marker += " on " + background.substr(0, background.find('\n'));
    }
    marker += "\n";
    const bool staged = control.count("staged") > 0;
    const std::string writeTo = staged ? output + ".a1b2c3.tmp" : output;
    if (mode == "now") {
      // A copy by the system, so even a large input takes the double little time of its own.
      CopyFileW(Wide(input).c_str(), Wide(writeTo).c_str(), FALSE);
      std::ofstream(Wide(writeTo).c_str(), std::ios::binary | std::ios::app) << marker;
    } else {
      const std::string content = ReadAll(input) + marker;
      std::ofstream out(Wide(writeTo).c_str(), std::ios::binary);
      const int pieces = Number(control, "chunks", 4);
      const std::size_t size = (content.size() + pieces - 1) / pieces;
      for (int piece = 0; piece < pieces; ++piece) {
        if (piece > 0) Sleep(Number(control, "chunk_ms", 150));
        out << content.substr(piece * size, size);
        out.flush();
      }
    }
    if (staged) MoveFileExW(Wide(writeTo).c_str(), Wide(output).c_str(), MOVEFILE_REPLACE_EXISTING);
    record << "written\n";
  }
  record.close();
  Sleep(Number(control, "linger_ms", 0));
  return exitCode;
}
