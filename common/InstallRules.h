// Decisions of the printer setup that need no Windows: where the programs may live, what to do
// for the Windows found, and the exit code that tells a deployment tool what happened.
#pragma once

#include <string_view>

namespace folvarek {

// The queue runner runs in every user's session and at every logon, so its folder must be one only
// administrators may change: the 64-bit Program Files folder or a folder below it. `chosen` and
// `programFiles` are compared without regard to ASCII case, trailing backslashes, or "." and ".."
// steps, which do not count as staying below.
[[nodiscard]] bool ProgramFolderAllowed(std::string_view chosen, std::string_view programFiles);

// The oldest Windows Folvarek supports: Windows 10 version 1607 and Windows Server 2016. Older
// builds are refused before anything is installed.
inline constexpr unsigned kOldestWindowsBuild = 14393;
[[nodiscard]] bool WindowsSupported(unsigned build);

// What Windows offers the print path.
struct PrintSupport {
  unsigned build = 0;           // Windows' build number
  bool protectedPrint = false;  // Windows protected print mode is on
  bool pdfDriver = false;       // "Microsoft Print To PDF" is installed
  bool featureTried = false;    // turning the optional feature on was tried already
};

enum class SetupStep {
  WindowsTooOld,     // older than the oldest supported build: install nothing at all
  InstallPrintPath,  // all there: monitor, port, printer
  TurnOnPdfFeature,  // no driver: turn its optional feature on, then look again
  ProtectedPrintOn,  // third-party print components are blocked: install nothing of the print path
  NoPdfDriver,       // no driver and no way to add one here: install nothing of the print path
};

[[nodiscard]] SetupStep NextSetupStep(const PrintSupport& support);

// Exit codes of the printer setup and of the installer that runs it. 4 is this Windows cannot have the
// printer, either way: too old (nothing installed) or without the PDF driver (the programs installed).
enum class SetupResult {
  Done = 0,
  Failed = 1,
  ProtectedPrint = 3,
  NoPdfDriver = 4,
  WindowsTooOld = 4,
  FolderNotAllowed = 5
};

}  // namespace folvarek
