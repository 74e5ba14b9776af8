// Benchmark, run by scripts/bench-print in a prefix with Folvarek installed: the time from
// EndDocPrinter returning (a RAW PDF job to the printer "Folvarek") to the Save dialog being shown,
// against two anchors: the time Wine takes to start an empty windowed program and show its window,
// and to start a bare program that shows the same Save dialog, so what the print path adds can be
// read beside them. Each job is then cancelled and its "No PDF File" message answered. The queue
// runner is started first as a logon starts it, so the jobs go to a runner that waits. Then two
// bursts of the same jobs printed back to back, in jobs per second: every Save dialog answered by
// this program, and every job saved without asking.
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
#include "UserFolders.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr char kEmptyTitle[] = "Folvarek empty window";
constexpr char kBareSaveTitle[] = "Folvarek bare Save";

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// When EndDocPrinter returned; nothing when the job could not be printed.
std::optional<Clock::time_point> PrintRaw(const std::vector<char>& data, const std::wstring& title = L"Benchmark") {
  HANDLE printer = nullptr;
  if (!OpenPrinterW(const_cast<wchar_t*>(L"Folvarek"), &printer, nullptr)) return std::nullopt;
  DOC_INFO_1W doc{const_cast<wchar_t*>(title.c_str()), nullptr, const_cast<wchar_t*>(L"RAW")};
  DWORD written = 0;
  const bool ok = StartDocPrinterW(printer, 1, reinterpret_cast<BYTE*>(&doc)) &&
                  WritePrinter(printer, const_cast<char*>(data.data()), static_cast<DWORD>(data.size()), &written);
  const bool ended = EndDocPrinter(printer);
  const auto printed = Clock::now();
  ClosePrinter(printer);
  if (!ok || !ended) return std::nullopt;
  return printed;
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
  const auto printed = PrintRaw(pdf);
  if (!printed) return std::fputs("printing failed\n", stderr), std::nullopt;
  const HWND dialog = WaitShown("Save File As");
  if (dialog == nullptr) return std::fputs("no Save dialog\n", stderr), std::nullopt;
  const double ms = Ms(Clock::now() - *printed);
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

// One of the print path's folders of this user, below the local application data.
std::string UserFolder(const char* relative) {
  char local[MAX_PATH];
  if (SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local) != S_OK) return {};
  return std::string(local) + "\\" + relative;
}

// Waits (20 s at most) until the runner waits for jobs with its lock held, as one started at logon does
// long before the first job. A job printed sooner finds no runner holding the lock: the monitor starts
// another, which may take the lock first, and this one then ends.
bool WaitingWithLock(const uidriver::Process& runner) {
  const HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, runner.Id());
  // Idle once it waits on its queue folder and its message queue.
  const bool idle = process != nullptr && WaitForInputIdle(process, 20'000) == 0;
  if (process != nullptr) CloseHandle(process);
  const std::string lock = UserFolder(folvarek::kRunnerLock);
  return idle && GetFileAttributesA(lock.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// saveprompt started on a job already in the user's scratch folder, as the runner starts it: what
// the job's own start takes, without the print path before it. In ms; the job then cancelled.
std::optional<double> SavepromptAlone(const std::string& program, const std::vector<char>& pdf) {
  const std::string scratch = UserFolder(folvarek::kScratchFolder);
  if (scratch.empty()) return std::nullopt;
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

// The files (not folders) of a folder whose names match `pattern`.
std::vector<std::string> FilesIn(const std::string& folder, const char* pattern = "*") {
  std::vector<std::string> names;
  WIN32_FIND_DATAA entry;
  const HANDLE find = FindFirstFileA((folder + "\\" + pattern).c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(entry.cFileName);
  } while (FindNextFileA(find, &entry));
  FindClose(find);
  return names;
}

// A folder of the benchmark's own below the temporary folder, made empty; nothing when it cannot be.
std::optional<std::string> EmptyFolder(const std::string& name) {
  char temp[MAX_PATH];
  if (GetTempPathA(MAX_PATH, temp) == 0) return std::nullopt;
  const std::string folder = temp + name;
  CreateDirectoryA(folder.c_str(), nullptr);
  for (const std::string& file : FilesIn(folder)) DeleteFileA((folder + "\\" + file).c_str());
  if (!FilesIn(folder).empty()) return std::nullopt;
  return folder;
}

// The bursts' jobs: every other one has the title "Benchmark", so a save without asking must number
// half of them; the others have a title each.
std::vector<std::wstring> BurstTitles(int jobs) {
  std::vector<std::wstring> titles;
  for (int i = 0; i < jobs; ++i) titles.push_back(i % 2 == 0 ? L"Benchmark" : L"Report " + std::to_wstring(i));
  return titles;
}

// All the jobs printed back to back; when the first EndDocPrinter returned.
std::optional<Clock::time_point> PrintBurst(const std::vector<char>& pdf, int jobs) {
  std::optional<Clock::time_point> first;
  for (const std::wstring& title : BurstTitles(jobs)) {
    const auto printed = PrintRaw(pdf, title);
    if (!printed) return std::fputs("printing failed\n", stderr), std::nullopt;
    if (!first) first = printed;
  }
  return first;
}

// Bounds the wait for a whole burst generously: a job takes well under a second here.
std::chrono::milliseconds BurstLimit(int jobs) { return std::chrono::seconds(30) * jobs; }

// The title of a visible dialog box (class #32770: the Save dialog, a message box), when one is shown.
BOOL CALLBACK NoteDialog(HWND window, LPARAM found) {
  if (!IsWindowVisible(window) || uidriver::ClassOf(window) != "#32770") return TRUE;
  *reinterpret_cast<std::optional<std::string>*>(found) = uidriver::GetText(window);
  return FALSE;
}
std::optional<std::string> ShownDialog() {
  std::optional<std::string> found;
  EnumWindows(NoteDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

// How many of the PDFs in the folder are encrypted: they went through pdfenc.
int Secured(const std::string& folder) {
  int secured = 0;
  for (const std::string& name : FilesIn(folder, "*.pdf")) {
    std::ifstream in(folder + "\\" + name, std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    secured += data.find("/Encrypt") != std::string::npos ? 1 : 0;
  }
  return secured;
}

bool QueueEmpty(const std::string& queue) { return FilesIn(queue).empty(); }

// The burst with every Save dialog answered by this program with a name of its own in `folder`, in
// jobs per second: from the first EndDocPrinter to the last job's PDF whole, that is all the PDFs
// there and the queue empty (the last job's saveprompt has ended, its stamp written).
std::optional<double> AnsweredBurst(const std::vector<char>& pdf, int jobs, const std::string& folder,
                                    const std::string& queue) {
  const auto first = PrintBurst(pdf, jobs);
  if (!first) return std::nullopt;
  for (int i = 0; i < jobs; ++i) {
    const HWND dialog = uidriver::WaitForWindow("Save File As");
    if (dialog == nullptr) {
      std::fprintf(stderr, "no Save dialog for job %d (shown: %s)\n", i + 1, ShownDialog().value_or("nothing").c_str());
      return std::nullopt;
    }
    if (!uidriver::SaveDialogChoose(dialog, folder + "\\Job " + std::to_string(i + 1) + ".pdf") ||
        !uidriver::WaitGone(dialog)) {
      return std::fputs("a Save dialog could not be answered\n", stderr), std::nullopt;
    }
  }
  const bool done = uidriver::WaitUntil(
      [&] { return FilesIn(folder, "*.pdf").size() == static_cast<std::size_t>(jobs) && QueueEmpty(queue); },
      BurstLimit(jobs));
  if (!done) return std::fputs("the answered jobs did not all end in their folder\n", stderr), std::nullopt;
  return jobs / std::chrono::duration<double>(Clock::now() - *first).count();
}

// A setting's text (the default value of its key below HKLM\SOFTWARE\Folvarek) for one burst; put
// back, or its key removed, when the owner goes.
class SettingForBurst {
 public:
  SettingForBurst(const std::string& key, const std::string& text) : key_("SOFTWARE\\Folvarek\\" + key) {
    char data[1024];
    DWORD size = sizeof data;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, key_.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, data, &size) == ERROR_SUCCESS)
      saved_ = data;
    set_ = Set(text);
  }
  SettingForBurst(const SettingForBurst&) = delete;
  SettingForBurst& operator=(const SettingForBurst&) = delete;
  ~SettingForBurst() {
    if (saved_) {
      (void)Set(*saved_);
    } else {
      RegDeleteKeyA(HKEY_LOCAL_MACHINE, key_.c_str());
    }
  }
  [[nodiscard]] bool IsSet() const { return set_; }

 private:
  [[nodiscard]] bool Set(const std::string& text) const {
    return RegSetValueA(HKEY_LOCAL_MACHINE, key_.c_str(), REG_SZ, text.c_str(), static_cast<DWORD>(text.size())) ==
           ERROR_SUCCESS;
  }

  std::string key_;
  std::optional<std::string> saved_;
  bool set_ = false;
};

// The burst saved without asking into `folder` with the name template {title}, in jobs per second:
// from the first EndDocPrinter to every PDF at its final name (none left under a working name
// "... (~NN).pdf"). Nothing, and what was shown, when a dialog or message box appeared.
std::optional<double> UnattendedBurst(const std::vector<char>& pdf, int jobs, const std::string& folder,
                                      const std::string& queue) {
  const SettingForBurst on("AutoSave\\Opt", "1"), path("AutoSave\\Path", folder), name("AutoSave\\Name", "{title}");
  if (!on.IsSet() || !path.IsSet() || !name.IsSet()) return std::fputs("AutoSave not set\n", stderr), std::nullopt;
  const auto first = PrintBurst(pdf, jobs);
  if (!first) return std::nullopt;
  std::optional<std::string> shown;
  const bool saved = uidriver::WaitUntil(
      [&] {
        shown = ShownDialog();
        if (shown) return true;
        const auto names = FilesIn(folder, "*.pdf");
        return names.size() == static_cast<std::size_t>(jobs) &&
               std::ranges::none_of(names, [](const std::string& n) { return n.find(" (~") != std::string::npos; });
      },
      BurstLimit(jobs));
  const auto end = Clock::now();
  if (shown) return std::fprintf(stderr, "shown while saving without asking: %s\n", shown->c_str()), std::nullopt;
  // The settings go back only once no job of the burst is left to read them.
  if (!saved || !uidriver::WaitUntil([&] { return QueueEmpty(queue); }, BurstLimit(jobs))) {
    return std::fputs("the jobs saved without asking did not all end in their folder\n", stderr), std::nullopt;
  }
  return jobs / std::chrono::duration<double>(end - *first).count();
}

double Median(std::vector<double> values) {
  std::ranges::sort(values);
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: print_dialog_bench FILE.pdf [RUNS [JOBS]]  |  print_dialog_bench --empty-window\n", stderr);
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
  const int jobs = argc > 3 ? std::atoi(argv[3]) : 20;

  std::vector<double> toDialog, emptyStart, bareSave, alone;
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  // One job untimed: asked for, it shows the runner is there; it then waits, as after a logon.
  const std::string runnerProgram = RunnerAtLogon();
  const auto runner = uidriver::Process::Start(runnerProgram);
  if (!runner) return std::fputs("the queue runner could not be started as at logon\n", stderr), 1;
  if (!WaitingWithLock(*runner)) return std::fputs("the queue runner started as at logon is not waiting\n", stderr), 1;
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

  const std::string queue = UserFolder(folvarek::kQueueFolder);
  const auto answeredFolder = EmptyFolder("Folvarek bench answered");
  const auto unattendedFolder = EmptyFolder("Folvarek bench unattended");
  if (queue.empty() || !answeredFolder || !unattendedFolder)
    return std::fputs("no folders for the bursts\n", stderr), 1;
  const auto answered = AnsweredBurst(pdf, jobs, *answeredFolder, queue);
  if (!answered) return 1;
  const auto unattended = UnattendedBurst(pdf, jobs, *unattendedFolder, queue);
  if (!unattended) return 1;
  std::printf("burst of %d jobs, each Save dialog answered: %.2f jobs/s (%d of %d PDFs secured)\n", jobs, *answered,
              Secured(*answeredFolder), jobs);
  std::printf(
      "burst of %d jobs saved without asking, half of one title: %.2f jobs/s (%d of %d PDFs secured, %zu "
      "names numbered)\n",
      jobs, *unattended, Secured(*unattendedFolder), jobs, FilesIn(*unattendedFolder, "* (*).pdf").size());

  // What the runner costs while it waits with no job, once the bursts are done.
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
