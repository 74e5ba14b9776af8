// printpdf.exe: prints a file, byte for byte, as a RAW job to the printer "Folvarek" (or --printer
// NAME), titled after the file or --title TITLE. With --wait it returns only once this session's
// queue runner has ended, so scripts can look at the result.
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "PrintPath.h"

namespace {

using namespace printpath;

int Fail(const std::wstring& what, DWORD error) {
  std::fputs(("printpdf: " + Utf8(what) + ": " + Utf8(ErrorText(error)) + "\n").c_str(), stderr);
  return 1;
}

bool RunnerAlive() {
  const HANDLE runner = OpenMutexW(SYNCHRONIZE, FALSE, L"Local\\FolvarekQueueRunner");
  if (runner != nullptr) CloseHandle(runner);
  return runner != nullptr;
}

// The runner exists while its named mutex does. It appears soon after the job is queued (unless
// none could be started); once it is gone the job has been asked for, or left queued on purpose.
bool WaitForRunnerDone(DWORD appearMs, DWORD timeoutMs) {
  const ULONGLONG start = GetTickCount64();
  while (!RunnerAlive() && GetTickCount64() - start < appearMs) Sleep(20);
  while (RunnerAlive()) {
    if (GetTickCount64() - start > timeoutMs) return false;
    Sleep(50);
  }
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring printer = kPrinterName, title, file;
  bool titled = false, wait = false;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--printer" && i + 1 < argc) printer = argv[++i];
    else if (arg == L"--title" && i + 1 < argc) title = argv[++i], titled = true;
    else if (arg == L"--wait") wait = true;
    else file = arg;
  }
  if (file.empty()) {
    std::fputs("usage: printpdf [--printer NAME] [--title TITLE] [--wait] FILE\n", stderr);
    return 2;
  }
  if (!titled) {
    const std::wstring name = file.substr(file.find_last_of(L"\\/") + 1);
    title = name.substr(0, name.find_last_of(L'.'));
  }
  std::ifstream in(file.c_str(), std::ios::binary);
  const std::vector<char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) return Fail(L"cannot read " + file, ERROR_READ_FAULT);

  HANDLE handle = nullptr;
  if (!OpenPrinterW(printer.data(), &handle, nullptr)) return Fail(L"cannot open the printer " + printer, GetLastError());
  DOC_INFO_1W doc{title.data(), nullptr, const_cast<wchar_t*>(L"RAW")};
  DWORD written = 0;
  const bool printed = StartDocPrinterW(handle, 1, reinterpret_cast<BYTE*>(&doc)) != 0 &&
                       (data.empty() || (WritePrinter(handle, const_cast<char*>(data.data()), static_cast<DWORD>(data.size()), &written) &&
                                         written == data.size()));
  const DWORD error = GetLastError();
  const bool ended = EndDocPrinter(handle) != FALSE;
  const DWORD endError = GetLastError();
  ClosePrinter(handle);
  if (!printed) return Fail(L"the job failed", error);
  if (!ended) return Fail(L"the job failed at its end", endError);
  if (wait && !WaitForRunnerDone(10 * 1000, 10 * 60 * 1000)) {
    return Fail(L"the queue runner was not done within 10 minutes", ERROR_TIMEOUT);
  }
  return 0;
}
