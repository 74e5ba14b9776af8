// Benchmark, run by scripts/bench-print in a prefix with Folvarek installed: the time from
// EndDocPrinter returning (a RAW PDF job to the printer "Folvarek") to the Save dialog being shown,
// against two anchors: the time Wine takes to start an empty windowed program and show its window,
// and to start a bare program that shows the same Save dialog, so what the print path adds can be
// read beside them. Each job is then cancelled and its "No PDF File" message answered. The queue
// runner is started first as a logon starts it, so the jobs go to a runner that waits.
#include <windows.h>
#include <winspool.h>
#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "UiDriver.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr char kEmptyTitle[] = "Folvarek empty window";
constexpr char kBareSaveTitle[] = "Folvarek bare Save";

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

bool PrintRaw(const std::vector<char>& data) {
  HANDLE printer = nullptr;
  if (!OpenPrinterW(const_cast<wchar_t*>(L"Folvarek"), &printer, nullptr)) return false;
  DOC_INFO_1W doc{const_cast<wchar_t*>(L"Benchmark"), nullptr, const_cast<wchar_t*>(L"RAW")};
  DWORD written = 0;
  const bool ok = StartDocPrinterW(printer, 1, reinterpret_cast<BYTE*>(&doc)) &&
                  WritePrinter(printer, const_cast<char*>(data.data()), static_cast<DWORD>(data.size()), &written);
  const bool ended = EndDocPrinter(printer);
  ClosePrinter(printer);
  return ok && ended;
}

// Polls without pause: the first moment the window is there is what is measured.
HWND WaitShown(const char* title) {
  const auto end = Clock::now() + std::chrono::seconds(30);
  while (Clock::now() < end) {
    const HWND window = FindWindowA(nullptr, title);
    if (window != nullptr && IsWindowVisible(window)) return window;
  }
  return nullptr;
}

// From EndDocPrinter to the Save dialog, in ms; the job then cancelled. Nothing when it failed.
std::optional<double> PrintToDialog(const std::vector<char>& pdf) {
  if (!PrintRaw(pdf)) return std::fputs("printing failed\n", stderr), std::nullopt;
  const auto printed = Clock::now();
  const HWND dialog = WaitShown("Save File As");
  if (dialog == nullptr) return std::fputs("no Save dialog\n", stderr), std::nullopt;
  const double ms = Ms(Clock::now() - printed);
  uidriver::SaveDialogCancel(dialog);
  if (!uidriver::AnswerMessageBox("Folvarek Options", IDOK))
    return std::fputs("no message after cancel\n", stderr), std::nullopt;
  if (!uidriver::WaitUntil([] { return FindWindowA(nullptr, "Folvarek Options") == nullptr; })) return std::nullopt;
  return ms;
}

// The queue runner's program as the logon starts it: the machine's Run entry, unquoted.
std::string RunnerAtLogon() {
  char command[MAX_PATH + 2] = "";
  DWORD size = sizeof command;
  RegGetValueA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Folvarek", RRF_RT_REG_SZ,
               nullptr, command, &size);
  std::string program = command;
  std::erase(program, '"');
  return program;
}

// saveprompt started on a job already in the user's scratch folder, as the runner starts it: what
// the job's own start takes, without the print path before it. In ms; the job then cancelled.
std::optional<double> SavepromptAlone(const std::string& program, const std::vector<char>& pdf) {
  char local[MAX_PATH];
  if (SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local) != S_OK) return std::nullopt;
  const std::string scratch = std::string(local) + "\\Folvarek\\temp";
  CreateDirectoryA(scratch.c_str(), nullptr);  // saveprompt removes it with the job
  std::ofstream job(scratch + "\\Benchmark.pdf", std::ios::binary);
  if (!job.write(pdf.data(), static_cast<std::streamsize>(pdf.size())).flush()) return std::nullopt;
  job.close();
  const auto started = Clock::now();
  auto saveprompt = uidriver::Process::Start(program);
  const HWND dialog = saveprompt ? WaitShown("Save File As") : nullptr;
  if (dialog == nullptr) return std::fputs("saveprompt showed no Save dialog\n", stderr), std::nullopt;
  const double ms = Ms(Clock::now() - started);
  uidriver::SaveDialogCancel(dialog);
  if (!uidriver::AnswerMessageBox("Folvarek Options", IDOK) || !saveprompt->WaitExit()) return std::nullopt;
  return ms;
}

// Processor time of a process so far, in ms (Wine counts in 10 ms steps); nothing once it has ended.
std::optional<double> CpuMs(DWORD id) {
  const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, id);
  FILETIME created, exited, kernel, user;
  const bool read = process != nullptr && GetProcessTimes(process, &created, &exited, &kernel, &user) &&
                    WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  if (process != nullptr) CloseHandle(process);
  if (!read) return std::nullopt;
  const auto ticks = [](const FILETIME& t) { return (ULONGLONG{t.dwHighDateTime} << 32) | t.dwLowDateTime; };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 10'000;
}

double Median(std::vector<double> values) {
  std::ranges::sort(values);
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: print_dialog_bench FILE.pdf [RUNS]  |  print_dialog_bench --empty-window\n", stderr);
    return 2;
  }
  if (std::string(argv[1]) == "--bare-save") {
    // The fairer baseline: a program that starts and shows the Save dialog saveprompt shows.
    char file[MAX_PATH] = "Benchmark";
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.lpstrFilter = "PDF Files (*.pdf)\0*.pdf\0";
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrTitle = kBareSaveTitle;
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
    GetSaveFileNameA(&dialog);
    return 0;
  }
  if (std::string(argv[1]) == "--empty-window") {
    // The baseline: a plain top-level window and its message loop, nothing else.
    const HWND window = CreateWindowA("STATIC", kEmptyTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                      nullptr, nullptr, nullptr);
    MSG message;
    while (IsWindow(window) && GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::vector<char> pdf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const int runs = argc > 2 ? std::atoi(argv[2]) : 7;

  std::vector<double> toDialog, emptyStart, bareSave, alone;
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  // One job untimed: asked for, it shows the runner is there; it then waits, as after a logon.
  const std::string runnerProgram = RunnerAtLogon();
  const auto runner = uidriver::Process::Start(runnerProgram);
  if (!runner) return std::fputs("the queue runner could not be started as at logon\n", stderr), 1;
  if (!PrintToDialog(pdf)) return 1;
  for (int run = 0; run < runs; ++run) {
    const auto ms = PrintToDialog(pdf);
    if (!ms) return 1;
    toDialog.push_back(*ms);

    const auto started = Clock::now();
    auto empty = uidriver::Process::Start(self, "--empty-window");
    const HWND window = empty ? WaitShown(kEmptyTitle) : nullptr;
    if (window == nullptr) return std::fputs("the empty program showed no window\n", stderr), 1;
    emptyStart.push_back(Ms(Clock::now() - started));
    PostMessageA(window, WM_CLOSE, 0, 0);
    if (!empty->WaitExit()) return 1;

    const auto bareStarted = Clock::now();
    auto bare = uidriver::Process::Start(self, "--bare-save");
    const HWND save = bare ? WaitShown(kBareSaveTitle) : nullptr;
    if (save == nullptr) return std::fputs("the bare program showed no Save dialog\n", stderr), 1;
    bareSave.push_back(Ms(Clock::now() - bareStarted));
    uidriver::SaveDialogCancel(save);
    if (!bare->WaitExit()) return 1;

    const auto savepromptMs =
        SavepromptAlone(runnerProgram.substr(0, runnerProgram.find_last_of('\\')) + "\\saveprompt.exe", pdf);
    if (!savepromptMs) return 1;
    alone.push_back(*savepromptMs);
  }
  std::printf("runs: %d\n", runs);
  std::printf("EndDocPrinter returned -> Save dialog shown: median %.0f ms (lowest %.0f ms)\n", Median(toDialog),
              *std::ranges::min_element(toDialog));
  std::printf("empty windowed program started -> window shown: median %.0f ms (lowest %.0f ms)\n", Median(emptyStart),
              *std::ranges::min_element(emptyStart));
  std::printf("bare program started -> the same Save dialog shown: median %.0f ms (lowest %.0f ms)\n", Median(bareSave),
              *std::ranges::min_element(bareSave));
  std::printf(
      "saveprompt started on a job in the scratch folder -> Save dialog shown: median %.0f ms (lowest %.0f ms)\n",
      Median(alone), *std::ranges::min_element(alone));
  std::printf("print-to-dialog against the bare program: median %.2fx (lowest %.2fx)\n",
              Median(toDialog) / Median(bareSave),
              *std::ranges::min_element(toDialog) / *std::ranges::min_element(bareSave));
  // What the runner costs while it waits with no job.
  const auto before = CpuMs(runner->Id());
  Sleep(5000);
  const auto after = CpuMs(runner->Id());
  if (before && after) {
    std::printf("queue runner started at logon, 5 s waiting with no job: %.0f ms of processor time\n",
                *after - *before);
  } else {
    std::printf("queue runner started at logon: it has ended\n");
  }
  return 0;
}
