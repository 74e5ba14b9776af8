// standin_driver.exe PPD: registers Wine's PostScript driver under the name "Microsoft Print To PDF"
// (Wine has no such driver), so the installer can add the printer "Folvarek" as on Windows 10.
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fputs("usage: standin_driver PPD\n", stderr);
    return 2;
  }
  const std::wstring ppd = argv[1];
  // The PPD is copied from its own folder, wineps.drv from Wine's print processor folder.
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring wineps = std::wstring(system) + L"\\spool\\prtprocs\\x64\\wineps.drv";
  DRIVER_INFO_3W driver{};
  driver.cVersion = 3;
  driver.pName = const_cast<wchar_t*>(L"Microsoft Print To PDF");
  driver.pEnvironment = const_cast<wchar_t*>(L"Windows x64");
  driver.pDriverPath = const_cast<wchar_t*>(wineps.c_str());
  driver.pConfigFile = const_cast<wchar_t*>(wineps.c_str());
  driver.pDataFile = const_cast<wchar_t*>(ppd.c_str());
  driver.pDefaultDataType = const_cast<wchar_t*>(L"RAW");
  if (!AddPrinterDriverExW(nullptr, 3, reinterpret_cast<BYTE*>(&driver),
                           APD_COPY_NEW_FILES | APD_COPY_FROM_DIRECTORY)) {
    std::fprintf(stderr, "standin_driver: AddPrinterDriverEx failed with error %lu\n", GetLastError());
    return 1;
  }
  return 0;
}
