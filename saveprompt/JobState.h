// What the print job knows while it runs, shared by the job routine, the post-processing and the
// close-down. The three program-wide values are the hand-off with the password window and the
// settling delay.
#pragma once

#include <cstdint>
#include <string>

// The password typed in the password window; empty means no password.
extern std::string strPassword;
// True while the password window is open.
extern bool PassPending;
// The settling delay after the security pass, in milliseconds.
extern std::int32_t WaitDelay;

struct JobState {
  std::string appFolder;      // the folder holding saveprompt.exe, without a trailing backslash
  std::string scratchFolder;  // this user's scratch folder, without a trailing backslash; empty when unknown
  std::string saveFolder;     // the default save folder, ending in a backslash when not empty
  std::string jobPdfPath;     // full path of the job's PDF in the scratch folder
  std::string baseName;       // the job PDF's name before its last "."
  std::string extension;      // the job PDF's name after its last "."
  std::string targetPath;     // the settled target, ending in ".pdf"; empty when none was chosen

  // The settings as read at the start of the job, and what follows from them.
  std::string AskforPass;
  std::string AllowCopy;
  std::string AllowPrint;
  std::string KeyLength;
  std::string strPermissions;
  std::string strArgs;

  // Where the stamp pass put temp.pdf, stamp.pdf and Kestrix.exe (empty until it has), and whether
  // the stamp tool's process was seen to end, so the close-down need not wait for it.
  std::string stagingFolder;
  bool stampToolEnded = false;

  // Saving without asking, as read at the start of the job; the folder's %VARIABLE%s not yet expanded.
  std::string AutoSave;
  std::string AutoSavePath;
  std::string AutoSaveName;
};
