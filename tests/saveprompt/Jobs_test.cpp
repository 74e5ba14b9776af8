// Whole print jobs, one row each: saveprompt.exe in a job folder, the test user's own scratch folder and a seeded
// settings tree, started as a separate process; the UI driver plays the user and the tool double stands in for pdfenc,
// the stamp tool, the PDF viewer and the browser. Every window the user meets is logged, message boxes word for word;
// then the files left and what the tools were given. Last, the post-processing in this process with a short stall
// limit, for what whole jobs cannot reach in reasonable time.
#include <gtest/gtest.h>
#include <lmcons.h>

#include <array>
#include <string>
#include <vector>

#include "Files.h"
#include "FrmPDFOptions.h"
#include "JobError.h"
#include "ModReg.h"
#include "PostProcess.h"
#include "TestSupport.h"
#include "UiDriver.h"
#include "Unique.h"
#include "frmPassword.h"

using namespace testsupport;
using namespace std::chrono_literals;

namespace {

using Log = std::vector<std::string>;
const std::string kJob = "C:\\folvarek-jobs";
const std::string kOut = kJob + "\\Out";
const std::string kDoubles = kJob + "\\doubles";
const std::string kJobPdf = "%PDF-1.4\n%%EOF\n";
const std::string kStamped = "\n%Kestrix on %PDF-stamp\n";
const std::string kSecured = kJobPdf + "\n%pdfenc\n";
const char* const kPolicies = "SOFTWARE\\Policies\\Folvarek";

const std::string kSave = "Save File As (in front)";
const std::string kPassword = "Enter PDF file password (in front)";
const std::string kNoPdf = "Folvarek Options | No PDF File. Printing will abort | OK | stop";
const std::string kCannotOverwrite =
    "Folvarek  [Options] | Cannot over write file !\\r\\nPlease specify different name | OK | stop";
const std::string kMismatch = "Folvarek  [Options] | Passwords do not match. Please check and try again! | OK | stop";
const std::string kReaderOffer =
    "Folvarek Options | Unable to open the pdf files because Adobe Acrobat reader is not installed on your "
    "system\\r\\nDo You want to download Adobe Acrobat reader | Yes,No | none";
std::string Failure(const std::string& description) {
  return "Folvarek - Options | Folvarek could not write the file on the specified path due to follwing error\\r\\n" +
         description + " | OK | stop";
}
std::string AlreadyExists(const std::string& path) {
  return "Folvarek  [Options] | " + path + " already exists\\r\\nDo you want to over write ? | Yes,No | none";
}
std::string CouldNotSave(const std::string& path, const std::string& reason) {
  return "Folvarek  [Options] | Folvarek could not save to " + path + ": " + reason +
         ". Choose where to save it. | OK | exclamation";
}
const std::string kUser = [] {
  char name[UNLEN + 1] = {};
  DWORD size = sizeof name;
  return GetUserNameA(name, &size) ? std::string(name) : std::string();
}();
std::string NoStamp(const std::string& reason) {
  return Failure(reason + ". The stamp could not be applied; " + kOut + "\\report.pdf is saved without it.");
}

// A path of a row: under the system folder when it starts with "%SYS%", under the folder an
// environment variable names when it starts with "%" (as Windows expands it), else under the job folder.
std::string At(const std::string& path) {
  if (path.rfind("%SYS%", 0) == 0) return SystemFolder() + path.substr(5);
  if (path.rfind('%', 0) != 0) return kJob + "\\" + path;
  char expanded[MAX_PATH * 2] = {};
  const DWORD length = ExpandEnvironmentStringsA(path.c_str(), expanded, sizeof expanded);
  return length > 0 && length <= sizeof expanded ? std::string(expanded, length - 1) : path;
}
// The user's own scratch folder, where the print path leaves the job's PDF, and the staging folder.
const std::string kScratchAt = "%LOCALAPPDATA%\\Folvarek\\temp";
const std::string kStagingAt = "%TEMP%\\Folvarek";
const std::string kScratch = At(kScratchAt);
const std::string kStaging = At(kStagingAt);
std::string Content(const std::string& path) { return Exists(At(path)) ? ReadFile(At(path)) : "-"; }
std::string Record(const std::string& tool) { return ReadFile(kDoubles + "\\" + tool + ".record"); }

struct Row {
  const char* name;
  std::vector<std::string> scratch;  // files in the scratch folder; {"-"}: no scratch folder at all
  // SaveLocation (under the job folder; nullptr: none), Password, AllowCopy, AllowPrint, ViewPDF
  std::array<const char*, 5> settings;
  std::vector<std::string> setup = {};                            // before the job starts: see Prepare
  std::vector<std::string> steps = {};                            // what the user does: see User::Play
  Log log = {};                                                   // what the user meets
  std::vector<std::pair<std::string, std::string>> files = {};    // path, content ("-": none, "*": any)
  std::vector<std::pair<std::string, std::string>> records = {};  // tool, what its record holds ("": never ran)
};

// A job folder with saveprompt.exe and pdfenc.exe, the user's scratch folder with the row's files
// and no staging folder or lock, the stamp tool and stamp installed in the system folder, a viewer
// and a browser registered, and the row's settings.
class Job {
 public:
  explicit Job(const Row& row) {
    for (const std::string& folder : {kJob, kScratch, kStaging, At("%LOCALAPPDATA%\\Folvarek\\saveprompt.lock")}) {
      RemoveTree(folder);
    }
    std::filesystem::create_directories(kDoubles);
    if (row.scratch != std::vector<std::string>{"-"}) std::filesystem::create_directories(kScratch);
    for (const std::string& file : row.scratch) {
      if (file != "-") WriteFile(kScratch + "\\" + file, kJobPdf);
    }
    CopyFileA((win::Utf8(win::ProgramFolder()) + "\\saveprompt.exe").c_str(), (kJob + "\\saveprompt.exe").c_str(), FALSE);
    for (const char* name : {"pdfenc.exe", "%SYS%\\Kestrix.tlb", "doubles\\viewer.exe", "doubles\\browser.exe"}) {
      CopyFileA((win::Utf8(win::ProgramFolder()) + "\\tool_double.exe").c_str(), At(name).c_str(), FALSE);
    }
    for (const char* staged : {"\\Kestrix.exe", "\\temp.pdf", "\\stamp.pdf"}) DeleteFromSystem(staged);
    WriteFile(SystemFolder() + "\\Kestrix.dll", "%PDF-stamp\n");
    for (const char* tool : {"viewer", "browser"}) WriteFile(kDoubles + "\\" + tool + ".control", "mode=never");
    SetEnvironmentVariableA("FOLVAREK_DOUBLES", kDoubles.c_str());  // saveprompt passes it on
    EXPECT_TRUE(pdf_.Set("FolvarekTest.Viewer") && viewer_.Set("\"" + kDoubles + "\\viewer.exe\" \"%1\"") &&
                browser_.Set("\"" + kDoubles + "\\browser.exe\" \"%1\""));
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Folvarek");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kPolicies);
    const auto& s = row.settings;
    EXPECT_TRUE((s[0] == nullptr || ModReg::SetSaveLocation(kJob + "\\" + s[0])) && ModReg::SetPasswordOpt(s[1]) &&
                ModReg::SetAllowCopyOpt(s[2]) && ModReg::SetAllowPrintOpt(s[3]) && ModReg::SetViewPDFOpt(s[4]));
    GetEnvironmentVariableA("PATH", path_, sizeof path_);
    for (const std::string& step : row.setup) Prepare(step.substr(0, step.find(':')), step.substr(step.find(':') + 1));
  }
  ~Job() {
    SetEnvironmentVariableA("PATH", path_);
    for (const char* file : {"\\Kestrix.exe", "\\temp.pdf", "\\stamp.pdf", "\\Kestrix.tlb", "\\Kestrix.dll"}) {
      DeleteFromSystem(file);
    }
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "FolvarekTest.Viewer");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kPolicies);
  }

 private:
  static void DeleteFromSystem(const char* name) {
    SetFileAttributesA((SystemFolder() + name).c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA((SystemFolder() + name).c_str());
  }
  // file:PATH=CONTENT, folder:PATH, control:TOOL=LINES, double:PATH (a copy of the tool double), script:PATH
  // (of unix-pdfenc.sh), readonly:PATH, hidden:PATH, delete:PATH, no-viewer, path:FOLDER (put first on the
  // search path saveprompt inherits), key-length:TEXT (stored as the KeyLength setting), policy:NAME=TEXT,
  // policy-dword:NAME=NUMBER (a policy value), auto-save:FOLDER=TEMPLATE (saving without asking, as stored),
  // ansi:CODEPAGE (saveprompt without the UTF-8 code page in its manifest, in the system's ANSI code page, which must
  // be CODEPAGE)
  void Prepare(const std::string& verb, const std::string& arg) {
    const std::string path = At(arg.substr(0, arg.find('='))), value = arg.substr(arg.find('=') + 1);
    if (verb == "file" || verb == "double")
      std::filesystem::create_directories(path.substr(0, path.find_last_of('\\')));
    if (verb == "folder") {
      std::filesystem::create_directories(path);
    } else if (verb == "file") {
      WriteFile(path, value);
    } else if (verb == "control") {
      WriteFile(kDoubles + "\\" + arg.substr(0, arg.find('=')) + ".control", value);
    } else if (verb == "double" || verb == "script") {
      CopyFileA(verb == "script" ? uidriver::WindowsPath(UNIX_PDFENC).c_str()
                                 : (win::Utf8(win::ProgramFolder()) + "\\tool_double.exe").c_str(),
                path.c_str(), FALSE);
    } else if (verb == "readonly" || verb == "hidden") {
      SetFileAttributesA(path.c_str(), verb == "readonly" ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_HIDDEN);
    } else if (verb == "delete") {
      DeleteFileA(path.c_str());
    } else if (verb == "no-viewer") {
      RegDeleteTreeA(HKEY_CLASSES_ROOT, "FolvarekTest.Viewer");
    } else if (verb == "path") {
      SetEnvironmentVariableA("PATH", (path + ";" + path_).c_str());
    } else if (verb == "auto-save") {
      EXPECT_TRUE(ModReg::Write(settings::Id::AutoSave, "1") &&
                  ModReg::Write(settings::Id::AutoSavePath, arg.substr(0, arg.find('='))) &&
                  ModReg::Write(settings::Id::AutoSaveName, value));
    } else if (verb == "key-length") {
      EXPECT_TRUE(ModReg::SetKeyLengthOpt(arg));
    } else if (verb == "ansi") {
      CopyFileA((win::Utf8(win::ProgramFolder()) + "\\saveprompt_ansi.exe").c_str(),
                (kJob + "\\saveprompt.exe").c_str(), FALSE);
      char codePage[8] = {};  // what a program gets without the manifest's code page
      GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE, codePage, sizeof codePage);
      EXPECT_EQ(codePage, arg) << "the system's ANSI code page";
    } else if (verb == "policy" || verb == "policy-dword") {
      const DWORD number = verb == "policy" ? 0 : std::stoul(value);
      const std::string data = verb == "policy" ? value + '\0' : std::string(reinterpret_cast<const char*>(&number), 4);
      EXPECT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, kPolicies, arg.substr(0, arg.find('=')).c_str(),
                                verb == "policy" ? REG_SZ : REG_DWORD, data.data(), static_cast<DWORD>(data.size())),
                ERROR_SUCCESS);
    } else {
      ADD_FAILURE() << "unknown setup " << verb;
    }
  }

  char path_[32767] = {};
  uidriver::ClassesDefault pdf_{".pdf"};
  uidriver::ClassesDefault viewer_{"FolvarekTest.Viewer\\shell\\open\\command"};
  uidriver::ClassesDefault browser_{"https\\shell\\open\\command"};
};

// Plays the user and logs what the user meets. After a window that did not come it stops playing
// and logs what was on the screen instead, so the log shows where the job went astray.
class User {
 public:
  User(const uidriver::Process& job, const char* location) : job_(job), location_(location ? At(location) : "") {}

  // save:NAME (none: as proposed), cancel (the Save dialog); yes, no, ok (the next message box); type:FIRST|SECOND,
  // pw-ok, pw-cancel, pw-enter, pw-esc, pw-close (the password window); close-job
  // (asks the hidden job window to close), open (its picture button, while a message box shows);
  // second-copy (of this user); lock:PATH once pdfenc has written, unlock.
  void Play(const std::string& step) {
    const std::string verb = step.substr(0, step.find(':')), arg = step.substr(step.find(':') + 1);
    if (verb == "save" || verb == "cancel") {
      const HWND dialog = Wait("Save File As");
      if (dialog == nullptr) return;
      // The save folder exists before the prompt that starts there.
      log.push_back(InFront(dialog) +
                    (location_.empty() || std::filesystem::is_directory(location_) ? "" : " (no folder)"));
      EXPECT_TRUE(verb == "cancel" ? (uidriver::SaveDialogCancel(dialog), true)
                  : arg.empty()    ? (uidriver::PressButton(dialog, IDOK), true)
                                   : uidriver::SaveDialogChoose(dialog, arg));
      EXPECT_TRUE(uidriver::WaitGone(dialog));
    } else if (verb == "yes" || verb == "no" || verb == "ok") {
      const HWND box = Wait("");
      if (box == nullptr) return;
      const auto seen = uidriver::ReadMessageBox(box);
      log.push_back(seen ? uidriver::Describe(*seen) : "<unreadable box>");
      uidriver::PressButton(box, verb == "yes" ? IDYES : verb == "no" ? IDNO : IDOK);
      EXPECT_TRUE(uidriver::WaitGone(box));
    } else if (verb == "close-job" && Wait("Save File As") != nullptr) {
      const HWND window = FindWindowA("FolvarekJobWindow", "Folvarek Options");
      DWORD_PTR ignored = 0;
      SendMessageTimeoutA(window, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
      EXPECT_TRUE(IsWindow(window)) << "the job window closed while the job runs";
    } else if (verb == "open" && Wait("") != nullptr) {
      uidriver::Click(GetDlgItem(FindWindowA("FolvarekJobWindow", "Folvarek Options"), FrmPDFOptions::kCommand1));
    } else if (verb == "second-copy" && Wait("Save File As") != nullptr) {
      // Another copy, with a save folder it would create, ends at once, reading and cleaning nothing:
      // the first one's job stays in the scratch folder.
      const std::string other = kJob + "\\second";
      std::filesystem::create_directories(other);
      CopyFileA((kJob + "\\saveprompt.exe").c_str(), (other + "\\saveprompt.exe").c_str(), FALSE);
      EXPECT_TRUE(ModReg::SetSaveLocation(other + "\\Out"));
      auto second = uidriver::Process::Start(other + "\\saveprompt.exe");
      EXPECT_EQ(second ? second->WaitExit() : std::nullopt, std::optional<DWORD>(0));
      EXPECT_FALSE(Exists(other + "\\Out")) << "the second copy read the settings";
      EXPECT_TRUE(Exists(kScratch + "\\job.pdf")) << "the second copy cleaned up";
    } else if (verb == "lock") {  // another program opens the result while the tools work on it
      EXPECT_TRUE(uidriver::WaitUntil([&] {
        if (Record("pdfenc").find("written\n") == std::string::npos) return false;
        lock_.reset(CreateFileA(At(arg).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        return static_cast<bool>(lock_);
      }));
    } else if (verb == "unlock") {
      lock_.reset();
    } else if (verb.rfind("pw", 0) == 0 || verb == "type") {
      PasswordStep(verb, arg);
    }
  }

  Log log;

 private:
  void PasswordStep(const std::string& verb, const std::string& arg) {
    if (password_ == nullptr && (password_ = Wait("Enter PDF file password")) != nullptr) {
      const HWND first = GetDlgItem(password_, frmPassword::kUserPassId);
      // Entries are masked, and typing starts in the first box.
      EXPECT_EQ(SendMessageA(first, EM_GETPASSWORDCHAR, 0, 0), '*');
      EXPECT_TRUE(uidriver::WaitUntil([&] { return uidriver::FocusOf(password_) == first; }));
      log.push_back(InFront(password_));
    }
    if (password_ == nullptr) return;
    const HWND repeat = GetDlgItem(password_, frmPassword::kUserPassRepeatId);
    if (verb == "type") {
      EXPECT_TRUE(uidriver::SetText(GetDlgItem(password_, frmPassword::kUserPassId), arg.substr(0, arg.find('|'))));
      EXPECT_TRUE(uidriver::SetText(repeat, arg.substr(arg.find('|') + 1)));
    } else if (verb == "pw-ok" || verb == "pw-cancel") {
      uidriver::PressButton(password_, verb == "pw-ok" ? IDOK : IDCANCEL);
    } else if (verb == "pw-enter" || verb == "pw-esc") {
      uidriver::PostKey(repeat, verb == "pw-enter" ? VK_RETURN : VK_ESCAPE);
    } else if (verb == "pw-close") {
      PostMessageA(password_, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
  }

  // In front: in the topmost band and the foreground window, which it becomes as it is shown.
  static std::string InFront(HWND window) {
    const bool front = uidriver::WaitUntil([&] { return GetForegroundWindow() == window; });
    const bool topmost = GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST;
    return uidriver::GetText(window) + (topmost && front ? " (in front)" : " (behind others)");
  }

  // A window of the job with this title; "": a message box (any other dialog of the job).
  HWND Wait(const std::string& title) {
    HWND found = nullptr;
    (void)uidriver::WaitUntil([&] {
      for (const HWND window : lost_ ? std::vector<HWND>{} : uidriver::WindowsOf(job_.Id())) {
        const std::string text = uidriver::GetText(window);
        const bool box = uidriver::ClassOf(window) == "#32770" && text != "Save File As";
        if (title.empty() ? box : text == title) found = window;
      }
      return found != nullptr || lost_;
    });
    if (found != nullptr || lost_) return found;
    std::string shown;
    for (const HWND other : uidriver::WindowsOf(job_.Id())) shown += " \"" + uidriver::GetText(other) + "\"";
    log.push_back("<no \"" + title + "\"; shown:" + shown + ">");
    lost_ = true;
    return nullptr;
  }

  const uidriver::Process& job_;
  std::string location_;
  HWND password_ = nullptr;
  win::UniqueFile lock_;
  bool lost_ = false;
};

void RunJob(const Row& row) {
  SCOPED_TRACE(row.name);
  const Job job(row);
  auto process = uidriver::Process::Start(kJob + "\\saveprompt.exe");
  ASSERT_TRUE(process);
  User user(*process, row.settings[0]);
  for (const std::string& step : row.steps) user.Play(step);
  EXPECT_EQ(process->WaitExit(), std::optional<DWORD>(0));
  EXPECT_EQ(user.log, row.log);
  // Outside programs the job starts without waiting may still be writing: their files are awaited.
  for (const auto& [path, content] : row.files) {
    EXPECT_TRUE(uidriver::WaitUntil([&] { return content == "*" ? Exists(At(path)) : Content(path) == content; }))
        << path << ": " << Content(path);
  }
  // A viewer or browser that must not have started is checked at once: it would still run or have
  // left its record. One that must have started is waited for until it has ended.
  auto records = row.records;
  for (const std::string tool : {"viewer", "browser"}) {
    if (std::none_of(records.begin(), records.end(), [&](const auto& r) { return r.first == tool; }))
      records.push_back({tool, ""});
  }
  for (const auto& [tool, text] : records) {
    if (text.empty()) {
      EXPECT_FALSE(ProcessRuns(tool + ".exe") || Exists(kDoubles + "\\" + tool + ".record")) << tool << " ran";
    } else {
      EXPECT_TRUE(uidriver::WaitUntil([&] {
        return Record(tool).find(text) != std::string::npos && !ProcessRuns(tool + ".exe");
      })) << tool
          << " record: " << Record(tool);
    }
  }
  // Every job leaves no scratch folder and no staging folder (unless they hold what a row expects),
  // and stages nothing in the system folder, which every user shares.
  const auto expected = [&](const std::string& path) {
    return std::any_of(row.files.begin(), row.files.end(), [&](const auto& f) { return f.first.rfind(path, 0) == 0; });
  };
  EXPECT_TRUE(!Exists(kScratch) || expected(kScratchAt)) << "the scratch folder is left";
  EXPECT_TRUE(!Exists(kStaging) || expected(kStagingAt)) << "the staging folder is left";
  for (const std::string staged : {"\\Kestrix.exe", "\\temp.pdf", "\\stamp.pdf"}) {
    EXPECT_TRUE(!Exists(SystemFolder() + staged) || expected("%SYS%" + staged)) << staged << " in the system folder";
  }
}

const std::string kLong = std::string(256 - kJob.size() - 5, 'n') + ".pdf";  // over the dialog's buffer
const std::vector<std::string> kReport = {"save:report.pdf", "ok"};
const std::string kReportPath = kOut + "\\report.pdf";

// clang-format off
const Row kRows[] = {
    {"no job PDF, no password asked", {}, {nullptr, "1", "0", "0", "0"}, {}, {"ok"}, {kNoPdf}},
    {"only other files", {"notes.txt"}, {nullptr, "0", "0", "0", "0"}, {}, {"ok"}, {kNoPdf}},
    {"no scratch folder", {"-"}, {nullptr, "0", "0", "0", "0"}, {}, {"ok"}, {Failure("Path not found")}},
    {"a job PDF without a dot", {"apdf", "job.pdf"}, {nullptr, "0", "0", "0", "0"}, {}, {"ok"},
     {Failure("Invalid procedure call or argument")}},
    {"a second copy of the user ends at once, leaving the first one's job alone", {"job.pdf"}, {"Out", "0", "0", "0", "0"}, {},
     {"second-copy", "save:report.pdf"}, {kSave}, {{"Out\\report.pdf", kJobPdf + kStamped}}},
    {"a lock that cannot be opened does not stop the job", {"job.pdf"}, {"Out", "0", "0", "0", "0"},
     {"folder:%LOCALAPPDATA%\\Folvarek\\saveprompt.lock"}, {"save:report.pdf"}, {kSave}, {{"Out\\report.pdf", kJobPdf + kStamped}}},
    {"plain; a bare name gets .pdf and is asked about", {"notes.txt", "job.PDF"}, {"Out\\new\\", "0", "0", "0", "0"},
     {"file:Out\\new\\report.pdf=old"},
     {"close-job", "save:report", "yes"}, {kSave, AlreadyExists(kOut + "\\new\\report.pdf")},
     {{"Out\\new\\report.pdf", kJobPdf + kStamped}, {"%SYS%\\Kestrix.dll", "%PDF-stamp\n"}, {"%SYS%\\Kestrix.tlb", "*"}},
     {{"pdfenc", ""}, {"Kestrix", " " + kStaging + "\\temp.pdf background " + kStaging + "\\stamp.pdf output \"" + kOut + "\\new\\report.pdf\"\n"}}},
    {"a title no ANSI code page holds, saved as proposed by a saveprompt in code page 1252", {"Отчёт 報告 Ω.pdf"},
     {"Out", "0", "1", "0", "0"}, {"ansi:1252"}, {"save:"}, {kSave}, {{"Out\\Отчёт 報告 Ω.pdf", kSecured + kStamped}},
     {{"pdfenc", "arg1=" + kScratch + "\\Отчёт 報告 Ω.pdf\narg2=" + kOut + "\\Отчёт 報告 Ω.pdf\n"}}},
    {"no save folder, a full path", {"job.pdf"}, {nullptr, "0", "0", "0", "0"}, {}, {"save:" + kJob + "\\c.pdf"}, {kSave},
     {{"c.pdf", kJobPdf + kStamped}}},
    {"No keeps a file, Yes replaces it", {"job.pdf"}, {"Out", "0", "0", "0", "0"}, {"file:Out\\keep.pdf=old", "file:Out\\Report.PDF=old"},
     {"save:keep.pdf", "no", "save:Report.PDF", "yes"},
     {kSave, AlreadyExists(kOut + "\\keep.pdf"), kSave, AlreadyExists(kOut + "\\Report.PDF")},
     {{"Out\\keep.pdf", "old"}, {"Out\\Report.pdf", kJobPdf + kStamped}}},
    {"a read-only file cannot be replaced", {"job.pdf"}, {"Out", "0", "0", "0", "0"}, {"file:Out\\ro.pdf=old", "readonly:Out\\ro.pdf"},
     {"save:ro.pdf", "yes", "ok", "cancel", "ok"}, {kSave, AlreadyExists(kOut + "\\ro.pdf"), kCannotOverwrite, kSave, kNoPdf},
     {{"Out\\ro.pdf", "old"}}},
    {"a path too long for the dialog", {"job.pdf"}, {"", "0", "0", "0", "0"}, {}, {"save:" + kLong, "ok", "cancel", "ok"},
     {kSave, kCannotOverwrite, kSave, kNoPdf}},
    {"password \"2\" is not asked for, yet secures", {"job.pdf"}, {"Out", "2", "0", "0", "0"}, {}, {"save:r.pdf"}, {kSave},
     {{"Out\\r.pdf", kSecured + kStamped}}, {{"pdfenc", "arg3=\narg4=\narg5=10100000\n"}}},
    {"mismatched entries, then Cancel: two empty passwords", {"job.pdf"}, {"Out", "1.0", "1", "0", "0"}, {},
     {"type:secret|secret ", "pw-ok", "ok", "type:secret|SECRET", "pw-ok", "ok", "pw-cancel", "save:report.pdf"},
     {kPassword, kMismatch, kMismatch, kSave}, {{"Out\\report.pdf", kSecured + kStamped}},
     {{"pdfenc", "\"" + kScratch + "\\job.pdf\" \"" + kReportPath + "\" \"\" \"\" 10000000 128 Creator \"Folvarek\" Producer \"Folvarek\"\n"},
      {"Kestrix", "password-unset\n"}}},
    {"policy: the save folder", {"job.pdf"}, {"Out", "0", "0", "0", "0"}, {"folder:Out", "policy:SaveLocation=" + kJob + "\\Policy"},
     {"save:r.pdf"}, {kSave}, {{"Policy\\r.pdf", kJobPdf + kStamped}}},
    {"policy: the password asked for (a DWORD)", {"job.pdf"}, {"Out", "0", "0", "0", "0"}, {"policy-dword:Password=1"},
     {"pw-cancel", "save:r.pdf"}, {kPassword, kSave}, {}, {{"pdfenc", "arg3=\narg4=\narg5=10100000\n"}}},
    {"policy: copying withheld, printing permitted (empty text)", {"job.pdf"}, {"Out", "0", "0", "1", "0"},
     {"policy:AllowCopy=1", "policy:AllowPrint="}, {"save:r.pdf"}, {kSave}, {{"Out\\r.pdf", kSecured + kStamped}},
     {{"pdfenc", "arg5=10000000\n"}}},
    {"policy: the result opened", {"job.pdf"}, {"Out", "0", "0", "0", "0"}, {"policy:ViewPDF=1"}, {"save:v.pdf"}, {kSave},
     {{"Out\\v.pdf", kJobPdf + kStamped}}, {{"viewer", "arg1=" + kOut + "\\v.pdf\n"}}},
    {"policy: 256-bit keys", {"job.pdf"}, {"Out", "0", "1", "0", "0"}, {"key-length:128", "policy:KeyLength=256"},
     {"save:r.pdf"}, {kSave}, {{"Out\\r.pdf", kSecured + kStamped}}, {{"pdfenc", "arg5=10000000\narg6=256\narg7=Creator\n"}}},
    {"a password is trimmed and reaches both tools intact", {"job.pdf"}, {"Out", "1", "0", "1", "0"}, {},
     {"type:  say \"hi\" \\  |  say \"hi\" \\  ", "pw-enter", "save:report.pdf"}, {kPassword, kSave},
     {{"Out\\report.pdf", kSecured + kStamped}},
     {{"pdfenc", "arg3=say \"hi\" \\\narg4=say \"hi\" \\\narg5=00100000\n"}, {"pdfenc", "password-unset\n"},
      {"Kestrix", "password=say \"hi\" \\\n"}}},
    {"Escape in a box gives no password", {"job.pdf"}, {"Out", "1", "0", "0", "0"}, {}, {"type:x|x", "pw-esc", "save:a.pdf"},
     {kPassword, kSave}, {}, {{"pdfenc", "arg3=\narg4=\n"}}},
    {"the close box gives no password", {"job.pdf"}, {"Out", "1", "0", "0", "0"}, {}, {"type:x|x", "pw-close", "save:a.pdf"},
     {kPassword, kSave}, {}, {{"pdfenc", "arg3=\narg4=\n"}}},
    {"outside commands from the application folder or the search path, never the save folder", {"job.pdf"},
     {"Out", "1", "0", "0", "0"},
     {"double:ShowPass.exe", "double:onpath\\ShowSave.exe", "double:Out\\ShowSave.exe", "file:Out\\old.pdf=old", "path:onpath"},
     {"pw-cancel", "save:old.pdf", "no", "cancel", "ok"}, {kPassword, kSave, AlreadyExists(kOut + "\\old.pdf"), kSave, kNoPdf},
     {}, {{"ShowPass", "self=" + kJob + "\\ShowPass.exe\n"}, {"ShowSave", "self=" + kJob + "\\onpath\\ShowSave.exe\n"}}},
    {"without a viewer the reader is offered; No keeps the file", {"job.pdf"}, {"Out", "0", "0", "0", "1"}, {"no-viewer"},
     {"save:v.pdf", "no"}, {kSave, kReaderOffer}, {{"Out\\v.pdf", kJobPdf + kStamped}}},
    {"without a viewer, Yes opens the download page", {"job.pdf"}, {"Out", "0", "0", "0", "1"}, {"no-viewer"},
     {"save:v.pdf", "yes"}, {kSave, kReaderOffer}, {{"Out\\v.pdf", kJobPdf + kStamped}},
     {{"browser", "arg1=https://get.adobe.com/reader/\n"}}},
    {"pdfenc writes nothing", {"job.pdf"}, {"Out", "0", "0", "1", "0"}, {"control:pdfenc=mode=never"}, kReport,
     {kSave, Failure("pdfenc did not write " + kReportPath)}, {}, {{"Kestrix", ""}}},
    {"pdfenc fails", {"job.pdf"}, {"Out", "0", "0", "1", "0"}, {"control:pdfenc=mode=fail\nexit=4"}, kReport,
     {kSave, Failure("pdfenc failed with exit code 4 writing " + kReportPath)}, {}, {{"Kestrix", ""}}},
    {"no pdfenc", {"job.pdf"}, {"Out", "0", "0", "1", "0"}, {"delete:pdfenc.exe"}, kReport,
     {kSave, Failure("pdfenc could not be started to write " + kReportPath)}, {{"Out\\report.pdf", "-"}}, {{"Kestrix", ""}}},
    {"the stamp tool fails: the secured file stays, and Open shows it", {"job.pdf"}, {"Out", "0", "0", "1", "0"}, {"control:Kestrix=mode=fail"},
     {"save:report.pdf", "open", "ok"}, {kSave, NoStamp("Kestrix.exe failed with exit code 3 writing " + kReportPath)},
     {{"Out\\report.pdf", kSecured}}, {{"viewer", "arg1=" + kReportPath + "\n"}}},
    {"no stamp tool installed: the secured file stays", {"job.pdf"}, {"Out", "0", "0", "1", "0"}, {"delete:%SYS%\\Kestrix.tlb"},
     kReport, {kSave, NoStamp("Kestrix.tlb could not be copied to " + kStaging + "\\Kestrix.exe (File not found)")},
     {{"Out\\report.pdf", kSecured}}},
    {"a result locked during the passes sends the user back", {"job.pdf"}, {"Out", "0", "0", "1", "0"},
     {"control:pdfenc=linger_ms=3000"}, {"save:report.pdf", "lock:Out\\report.pdf", "ok", "unlock", "save:second.pdf"},
     {kSave, kCannotOverwrite, kSave}, {{"Out\\report.pdf", kSecured}, {"Out\\second.pdf", kSecured + kStamped}}},
    {"an own stamp and tool already staged are used", {"job.pdf"}, {"Out", "0", "0", "0", "0"},
     {"delete:%SYS%\\Kestrix.tlb", "delete:%SYS%\\Kestrix.dll", "double:" + kStagingAt + "\\Kestrix.exe",
      "file:" + kStagingAt + "\\stamp.pdf=%PDF-own\n"},
     {"save:report.pdf"}, {kSave}, {{"Out\\report.pdf", kJobPdf + "\n%Kestrix on %PDF-own\n"}}},
    {"the clean-up leaves hidden staged and read-only files, what holds them and the system folder", {"job.pdf"},
     {"Out", "0", "0", "0", "0"},
     {"file:%SYS%\\temp.pdf=someone else's", "file:%SYS%\\stamp.pdf=%PDF-stamp\n", "file:" + kStagingAt + "\\stamp.pdf=%PDF-own\n",
      "hidden:" + kStagingAt + "\\stamp.pdf", "file:" + kScratchAt + "\\nested\\page.tmp=x", "file:" + kScratchAt + "\\kept.pdf=x",
      "readonly:" + kScratchAt + "\\kept.pdf"},
     {"save:report.pdf"}, {kSave},
     {{"Out\\report.pdf", kJobPdf + "\n%Kestrix on %PDF-own\n"}, {"%SYS%\\temp.pdf", "someone else's"},
      {"%SYS%\\stamp.pdf", "%PDF-stamp\n"}, {kStagingAt + "\\stamp.pdf", "%PDF-own\n"}, {kStagingAt + "\\temp.pdf", "-"},
      {kStagingAt + "\\Kestrix.exe", "-"}, {kScratchAt + "\\kept.pdf", "x"}, {kScratchAt + "\\nested", "-"},
      {kScratchAt + "\\job.pdf", "-"}}},
    {"saved without asking: secured and stamped, nothing shown", {"Quarterly.pdf"}, {"Out", "0", "0", "1", "0"},
     {"auto-save:%FOLVAREK_DOUBLES%\\..\\Auto={title}"}, {}, {}, {{"%FOLVAREK_DOUBLES%\\..\\Auto\\Quarterly.pdf", kSecured + kStamped}},
     {{"pdfenc", "arg1=" + kScratch + "\\Quarterly.pdf\n"}}},
    {"policy: saved without asking as {title}; a name taken gets (2)", {"job.pdf"}, {"Out", "0", "0", "0", "0"},
     {"policy:AutoSave=1", "policy:AutoSavePath=" + kJob + "\\Auto", "file:Auto\\job.pdf=old"}, {}, {},
     {{"Auto\\job.pdf", "old"}, {"Auto\\job (2).pdf", kJobPdf + kStamped}, {"Auto\\job (~01).pdf", "-"}}},
    {"password, then saved without asking in the save folder's subfolders", {"job.pdf"}, {"Out", "1", "0", "0", "0"},
     {"auto-save:={user}\\{title}"}, {"type:pw|pw", "pw-ok"}, {kPassword}, {{"Out\\" + kUser + "\\job.pdf", kSecured + kStamped}},
     {{"pdfenc", "arg3=pw\narg4=pw\n"}}},
    {"saved without asking, unstamped: reported under its final name", {"job.pdf"}, {"Out", "0", "0", "1", "0"},
     {"auto-save:" + kJob + "\\Auto={title}", "control:Kestrix=mode=fail"}, {"ok"}, {Failure("Kestrix.exe failed with exit code 3 writing " +
     kJob + "\\Auto\\job (~01).pdf. The stamp could not be applied; " + kJob + "\\Auto\\job.pdf is saved without it.")}, {{"Auto\\job.pdf", kSecured}}},
    {"an unreachable share: told why, then asked with the name proposed", {"job.pdf"}, {"Out", "0", "0", "0", "0"},
     {"auto-save:\\\\nohost\\share={title}-{{x}}"}, {"ok", "save:"},
     {CouldNotSave("\\\\nohost\\share\\job-{x}.pdf", "Path not found"), kSave},
     {{"Out\\job-{x}.pdf", kJobPdf + kStamped}}},
    {"no folder at all: told so, then asked", {"job.pdf"}, {nullptr, "0", "0", "0", "0"}, {"auto-save:={title}"},
     {"ok", "save:" + kJob + "\\c.pdf"}, {CouldNotSave("job.pdf", "No folder is set for saving without asking"), kSave},
     {{"c.pdf", kJobPdf + kStamped}}},
    {"a bad template: told why, then asked; Cancel saves nothing", {"job.pdf"}, {"Out", "0", "0", "0", "0"},
     {"auto-save:" + kJob + "\\Auto={title"}, {"ok", "cancel", "ok"},
     {CouldNotSave(kJob + "\\Auto", "The name template has a { with no } to close it. Write {{ for a brace in the name"), kSave, kNoPdf}},
};
// clang-format on

}  // namespace

TEST(Jobs, EveryRowAsTheUserMeetsIt) {
  for (const Row& row : kRows) RunJob(row);
}

namespace {

// A job for report.pdf in Out\, through pdfenc when AllowPrint is "1", else copied directly.
JobState ReportJob(const std::string& allowPrint, const std::string& saveFolder = kOut + "\\") {
  std::filesystem::create_directories(kOut);
  strPassword.clear();
  return {kJob,  kScratch,   saveFolder,  kScratch + "\\job.pdf",
          "job", "pdf",      kReportPath, "0",
          "0",   allowPrint, "",          allowPrint == "1" ? "00100000" : "10100000",
          "",    "",         false,       "",
          "",    ""};
}

// The post-processing of `job` with a short stall limit; the failure it ended with, if any.
std::optional<JobError> PostProcess(JobState& job, std::chrono::milliseconds stallLimit,
                                    std::string* labels = nullptr) {
  const auto label = [labels](const std::string& text) {
    if (labels != nullptr) *labels += text + "|";
  };
  try {
    RunPostProcessing(job, nullptr, {label, label}, stallLimit);
  } catch (const JobError& failure) {
    return failure;
  }
  return std::nullopt;
}

}  // namespace

// A tool that keeps writing is waited for past the stall limit (pdfenc staging its output as the real
// tools do); a stalled one is ended and named, the unstamped file kept. Wine starts a Linux script
// without a process handle: then the output alone tells that it is done.
TEST(PostProcessing, WhatTheToolsAndTheJobPdfWriteDecidesHowTheJobEnds) {
  const std::string slow = "=mode=slow\nchunks=5\nchunk_ms=400";
  const struct {
    std::vector<std::string> setup;
    std::string failure;  // the start of its description; "": none
    std::string left;     // at the target afterwards
  } cases[] = {{{"control:pdfenc" + slow + "\nstaged=1", "control:Kestrix" + slow}, "", kSecured + kStamped},
               {{"control:pdfenc=mode=hang"}, "pdfenc did not write " + kReportPath, "-"},
               {{"control:Kestrix=mode=hang"}, "Kestrix.exe did not write " + kReportPath, kSecured},
               {{"control:Kestrix=mode=empty"}, "Kestrix.exe did not write " + kReportPath, kSecured},
               {{"file:" + kScratchAt + "\\job.pdf="}, "The print job did not write " + kScratch + "\\job.pdf", "-"},
               {{"script:pdfenc.exe"}, "", "%PDF-1.4\n%script\n" + kStamped},
               {{"script:pdfenc.exe", "control:pdfenc=mode=never"}, "pdfenc did not write " + kReportPath, "-"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setup.back());
    const Job job({"", {"job.pdf"}, {"Out", "0", "0", "1", "0"}, c.setup});
    JobState state = ReportJob("1", "  ");
    std::string labels;
    const auto failure = PostProcess(state, 1500ms, &labels);
    EXPECT_EQ(failure ? failure->Description().substr(0, c.failure.empty() ? std::string::npos : c.failure.size()) : "",
              c.failure);
    EXPECT_FALSE(ProcessRuns("pdfenc.exe") || ProcessRuns("Kestrix.exe"));
    EXPECT_EQ(Content("Out\\report.pdf"), c.left);
    if (!failure) {  // a blank save folder shows the scratch folder; the delay to settle is the job PDF's size
      EXPECT_EQ(labels + std::to_string(WaitDelay),
                kScratch + "|" + kReportPath + "|" + std::to_string(kJobPdf.size()));
    }
  }
}

TEST(PostProcessing, ALockedTargetOfTheDirectCopySendsTheUserBackAndTheRetryStartsFromTheRenamedPdf) {
  const Job job({"locked", {"job.pdf"}, {"Out", "0", "0", "0", "0"}, {"file:Out\\report.pdf=held"}});
  win::UniqueFile lock(CreateFileA(At("Out\\report.pdf").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(lock);
  JobState state = ReportJob("0");
  const auto failure = PostProcess(state, 1s);
  EXPECT_TRUE(failure && failure->SendsBackToPrompt()) << (failure ? failure->Description() : "the copy succeeded");
  lock.reset();
  EXPECT_EQ(Content("Out\\report.pdf"), "held");
  state.targetPath = kOut + "\\second.pdf";  // the user's next answer
  EXPECT_FALSE(PostProcess(state, 1s));
  EXPECT_EQ(Content("Out\\second.pdf"), kJobPdf + kStamped);
}
