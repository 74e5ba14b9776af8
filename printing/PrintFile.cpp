// printpdf.exe: prints a file, byte for byte, as a RAW job to the printer "Folvarek" (or --printer
// NAME), titled after the file or --title TITLE. With --wait it returns only once the queue runner is
// done with the user's queue, so scripts can look at the result; without a file it only waits so.
// --ports 1|2 lists the ports as a port page does.
#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "Files.h"
#include "PrintPath.h"
#include "Unique.h"
#include "UserFolders.h"

namespace {

using namespace printpath;

int Fail(const std::wstring& what, DWORD error) {
  std::fputs(("printpdf: " + Utf8(what) + ": " + Utf8(ErrorText(error)) + "\n").c_str(), stderr);
  return 1;
}

// Whether the user's queue holds anything the runner has still to do: a whole job, a taken one, a note.
bool QueueBusy() {
  bool busy = false;
  (void)win::ForEachEntry(UserFolder(folvarek::kQueueFolder) + L"\\*", [&](const WIN32_FIND_DATAW& entry) {
    const std::wstring_view name = entry.cFileName;
    const std::wstring_view ext = name.substr(std::min(name.size(), name.find_last_of(L'.')));
    busy = ext == kPdfExt || ext == kNotPdfExt || ext == kClaimedExt || ext == kNoteExt;
    return !busy;
  });
  return busy;
}

// The monitor has queued the job (and started a runner, if none held the lock) by the time it has
// ended. The runner is done once it has ended, or waits with nothing left in the queue: the job has
// been asked for, or left queued on purpose by a runner that then ended.
bool WaitForRunnersDone(DWORD timeoutMs) {
  const ULONGLONG start = GetTickCount64();
  while (!RunnerProcesses().empty() && QueueBusy()) {
    if (GetTickCount64() - start > timeoutMs) return false;
    Sleep(50);
  }
  return true;
}

// Each port of the given level, a line each, every string of its record: what a port page lists.
int ListPorts(DWORD level) {
  DWORD needed = 0, count = 0;
  EnumPortsW(nullptr, level, nullptr, 0, &needed, &count);
  std::vector<BYTE> buffer(needed);
  if (!EnumPortsW(nullptr, level, buffer.data(), needed, &needed, &count))
    return Fail(L"cannot list the ports", GetLastError());
  const auto text = [](const wchar_t* s) { return s != nullptr ? Utf8(s) : std::string("(null)"); };
  for (DWORD i = 0; i < count; ++i) {
    if (level == 1) {
      std::printf("%s\n", text(reinterpret_cast<PORT_INFO_1W*>(buffer.data())[i].pName).c_str());
    } else {
      const auto& port = reinterpret_cast<PORT_INFO_2W*>(buffer.data())[i];
      std::printf("%s|%s|%s\n", text(port.pPortName).c_str(), text(port.pMonitorName).c_str(),
                  text(port.pDescription).c_str());
    }
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring printer = kPrinterName, title, file;
  bool titled = false, wait = false;
  DWORD firstJobId = 1;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--printer" && i + 1 < argc)
      printer = argv[++i];
    else if (arg == L"--title" && i + 1 < argc)
      title = argv[++i], titled = true;
    else if (arg == L"--wait")
      wait = true;
    else if (arg == L"--first-job-id" && i + 1 < argc)
      firstJobId = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
    else if (arg == L"--ports" && i + 1 < argc)
      return ListPorts(static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10)));
    else
      file = arg;
  }
  if (file.empty() && wait)
    return WaitForRunnersDone(10 * 60 * 1000) ? 0
                                              : Fail(L"the queue runner was not done within 10 minutes", ERROR_TIMEOUT);
  if (file.empty()) {
    std::fputs(
        "usage: printpdf [--printer NAME] [--title TITLE] [--first-job-id N] [--wait] FILE | printpdf --wait | "
        "printpdf --ports 1|2\n",
        stderr);
    return 2;
  }
  if (!titled) {
    const std::wstring name = file.substr(file.find_last_of(L"\\/") + 1);
    title = name.substr(0, name.find_last_of(L'.'));
  }
  std::ifstream in(file.c_str(), std::ios::binary);
  const std::vector<char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) return Fail(L"cannot read " + file, ERROR_READ_FAULT);

  win::UniquePrinter owned;
  if (!OpenPrinterW(printer.data(), owned.put(), nullptr))
    return Fail(L"cannot open the printer " + printer, GetLastError());
  const HANDLE handle = owned.get();
  // Wine's spooler runs inside each printing program and names a job's spool file after a job id
  // that counts from 1 in every process, so programs printing at once would write each other's
  // spool files; taking ids this program will not use moves its own out of the others' way.
  for (DWORD id = 1; id < firstJobId; ++id) {
    BYTE added[sizeof(ADDJOB_INFO_1W) + MAX_PATH * sizeof(wchar_t)];
    DWORD needed = 0;
    if (!AddJobW(handle, 1, added, sizeof added, &needed)) return Fail(L"cannot skip a job id", GetLastError());
  }
  DOC_INFO_1W doc{title.data(), nullptr, const_cast<wchar_t*>(L"RAW")};
  DWORD written = 0;
  const bool printed = StartDocPrinterW(handle, 1, reinterpret_cast<BYTE*>(&doc)) != 0 &&
                       (data.empty() || (WritePrinter(handle, const_cast<char*>(data.data()),
                                                      static_cast<DWORD>(data.size()), &written) &&
                                         written == data.size()));
  const DWORD error = GetLastError();
  const bool ended = EndDocPrinter(handle) != FALSE;
  const DWORD endError = GetLastError();
  owned.reset();
  if (!printed) return Fail(L"the job failed", error);
  if (!ended) return Fail(L"the job failed at its end", endError);
  if (wait && !WaitForRunnersDone(10 * 60 * 1000)) {
    return Fail(L"the queue runner was not done within 10 minutes", ERROR_TIMEOUT);
  }
  return 0;
}
