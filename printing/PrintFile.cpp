// printpdf.exe: prints a file, byte for byte, as a RAW job to the printer "Folvarek" (or --printer
// NAME), titled after the file or --title TITLE. With --wait it returns only once this session's
// queue runner has ended and the queue is empty, so scripts can look at the result.
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

bool QueueEmpty() {
  WIN32_FIND_DATAW entry;
  const HANDLE search = FindFirstFileW((QueueFolderOf(nullptr) + L"\\*.*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return true;
  bool empty = true;
  do empty = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; while (empty && FindNextFileW(search, &entry));
  FindClose(search);
  return empty;
}

// The runner exists while its named mutex does; both states are looked at, bounded.
bool WaitForQueueDone(DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (GetTickCount64() < end) {
    const HANDLE runner = OpenMutexW(SYNCHRONIZE, FALSE, L"Local\\FolvarekQueueRunner");
    if (runner != nullptr) CloseHandle(runner);
    if (runner == nullptr && QueueEmpty()) return true;
    Sleep(50);
  }
  return false;
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
  if (wait && !WaitForQueueDone(10 * 60 * 1000)) return Fail(L"the queue was not done within 10 minutes", ERROR_TIMEOUT);
  return 0;
}
