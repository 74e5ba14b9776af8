// Whole print jobs: a copy of saveprompt.exe in a scenario folder with its own temp\ folder and a
// seeded settings tree, started as a separate process, with the UI driver playing the user and the
// tool double standing in for pdfenc and the stamp tool. Every window the user meets is logged
// (message boxes word for word) and compared with what the job must show; the files left on disk
// are checked as well.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ModReg.h"
#include "UiDriver.h"
#include "frmPassword.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Log = std::vector<std::string>;

const std::string kRoot = "C:\\folvarek-e2e";
// What the scratch file holds, and the target once the tool double has stamped it (without pdfenc,
// and after pdfenc).
const std::string kJobPdf = "%PDF-1.4\n%%EOF\n";
const std::string kStamped = kJobPdf + "\n%Kestrix on %PDF-stamp\n";
const std::string kSecured = kJobPdf + "\n%pdfenc\n";
const std::string kSecuredAndStamped = kSecured + "\n%Kestrix on %PDF-stamp\n";

const std::string kSaveDialog = "Save File As (in front)";
const std::string kPasswordWindow = "Enter PDF file password (in front)";
const std::string kNoPdf = "Folvarek Options | No PDF File. Printing will abort | OK | stop";
const std::string kCannotOverwrite =
    "Folvarek  [Options] | Cannot over write file !\\r\\nPlease specify different name | OK | stop";
const std::string kReaderOffer =
    "Folvarek Options | Unable to open the pdf files because Adobe Acrobat reader is not installed on your "
    "system\\r\\nDo You want to download Adobe Acrobat reader | Yes,No | none";
const std::string kMismatch =
    "Folvarek  [Options] | Passwords do not match. Please check and try again! | OK | stop";

std::string Failure(const std::string& description) {
  return "Folvarek - Options | Folvarek could not write the file on the specified path due to follwing "
         "error\\r\\n" + description + " | OK | stop";
}

std::string AlreadyExists(const std::string& path) {
  return "Folvarek  [Options] | " + path + " already exists\\r\\nDo you want to over write ? | Yes,No | none";
}

std::string TestFolder() {
  char path[MAX_PATH] = {};
  const std::string self(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
  return self.substr(0, self.find_last_of('\\'));
}

void WriteFile(const std::string& path, const std::string& content = kJobPdf) {
  std::ofstream(path, std::ios::binary) << content;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string SystemFolder() {
  char path[MAX_PATH] = {};
  return std::string(path, GetSystemDirectoryA(path, MAX_PATH));
}

// The files the post-processing stages in the system folder, and the installed ones they come from.
const char* const kStagedFiles[] = {"\\Kestrix.exe", "\\temp.pdf", "\\stamp.pdf"};
const char* const kInstalledFiles[] = {"\\Kestrix.tlb", "\\Kestrix.dll"};

void DeleteFromSystemFolder(const char* name) {
  const std::string path = SystemFolder() + name;
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(path.c_str());
}

// Removes a scenario folder, read-only files included.
void RemoveTree(const std::string& folder) {
  std::error_code ignored;
  if (!fs::exists(folder, ignored)) return;
  for (const auto& entry : fs::recursive_directory_iterator(folder, ignored)) {
    SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  fs::remove_all(folder, ignored);
}

// A scenario: its folder with saveprompt.exe, pdfenc.exe and temp\, the stamp tool and stamp
// installed in the system folder, and a settings tree of its own. The tool doubles record into and
// take their orders from the folder doubles\.
class Job {
 public:
  explicit Job(const std::string& name) : folder_(kRoot + "\\" + name) {
    RemoveTree(folder_);
    fs::create_directories(Scratch());
    fs::create_directories(Doubles());
    CopyFileA((TestFolder() + "\\saveprompt.exe").c_str(), (folder_ + "\\saveprompt.exe").c_str(), FALSE);
    const std::string double_ = TestFolder() + "\\tool_double.exe";
    CopyFileA(double_.c_str(), (folder_ + "\\pdfenc.exe").c_str(), FALSE);
    for (const char* staged : kStagedFiles) DeleteFromSystemFolder(staged);
    CopyFileA(double_.c_str(), (SystemFolder() + "\\Kestrix.tlb").c_str(), FALSE);
    WriteFile(SystemFolder() + "\\Kestrix.dll", "%PDF-stamp\n");
    SetEnvironmentVariableA("FOLVAREK_DOUBLES", Doubles().c_str());  // saveprompt passes it on
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Folvarek");
  }
  Job(const Job&) = delete;
  Job& operator=(const Job&) = delete;
  ~Job() {
    for (const char* staged : kStagedFiles) DeleteFromSystemFolder(staged);
    for (const char* installed : kInstalledFiles) DeleteFromSystemFolder(installed);
  }
  [[nodiscard]] const std::string& Folder() const { return folder_; }
  [[nodiscard]] std::string Scratch() const { return folder_ + "\\temp"; }
  [[nodiscard]] std::string Doubles() const { return folder_ + "\\doubles"; }
  void AddScratchFile(const std::string& name) const { WriteFile(Scratch() + "\\" + name); }
  // How the double playing `tool` ("pdfenc", "Kestrix") behaves, and what it recorded.
  void Control(const std::string& tool, const std::string& lines) const {
    WriteFile(Doubles() + "\\" + tool + ".control", lines);
  }
  [[nodiscard]] std::string Record(const std::string& tool) const { return ReadFile(Doubles() + "\\" + tool + ".record"); }

  // After every job: the scratch folder and the staged files are gone.
  void ExpectClearedUp() const {
    EXPECT_FALSE(Exists(Scratch()));
    for (const char* staged : kStagedFiles) EXPECT_FALSE(Exists(SystemFolder() + staged)) << staged;
  }

  [[nodiscard]] uidriver::Process Start() const {
    auto process = uidriver::Process::Start(folder_ + "\\saveprompt.exe");
    EXPECT_TRUE(process) << "saveprompt.exe did not start";
    return process ? std::move(*process) : uidriver::Process();
  }

 private:
  std::string folder_;
};

// Plays the user and logs what the user meets. After a window that did not come, it stops playing
// and logs what was on the screen instead, so the log comparison shows where the job went astray.
class User {
 public:
  explicit User(const uidriver::Process& job) : job_(job) {}

  void Answer(const std::string& title, int button) {
    const HWND box = Wait(title, "#32770");
    if (box == nullptr) return;
    const auto seen = uidriver::ReadMessageBox(box);
    log.push_back(seen ? uidriver::Describe(*seen) : "<unreadable box " + title + ">");
    uidriver::PressButton(box, button);
    EXPECT_TRUE(uidriver::WaitGone(box));
  }

  void ChooseFile(const std::string& name) {
    if (const HWND dialog = SaveDialog()) {
      EXPECT_TRUE(uidriver::SaveDialogChoose(dialog, name));
      EXPECT_TRUE(uidriver::WaitGone(dialog));
    }
  }

  void CancelSave() {
    if (const HWND dialog = SaveDialog()) {
      uidriver::SaveDialogCancel(dialog);
      EXPECT_TRUE(uidriver::WaitGone(dialog));
    }
  }

  // The password window, left open for the caller to play; nullptr when it did not come.
  HWND PasswordWindow() {
    const HWND window = Wait("Enter PDF file password", nullptr);
    if (window != nullptr) log.push_back(InFront("Enter PDF file password", window));
    return window;
  }

  void TypePasswords(HWND window, const std::string& first, const std::string& second) {
    EXPECT_TRUE(uidriver::SetText(GetDlgItem(window, frmPassword::kUserPassId), first));
    EXPECT_TRUE(uidriver::SetText(GetDlgItem(window, frmPassword::kUserPassRepeatId), second));
  }

  Log log;

 private:
  HWND SaveDialog() {
    const HWND dialog = Wait("Save File As", "#32770");
    if (dialog != nullptr) log.push_back(InFront("Save File As", dialog));
    return dialog;
  }

  // In front: in the topmost band and the foreground window, which it becomes as it is shown.
  static std::string InFront(const std::string& title, HWND window) {
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (GetForegroundWindow() != window && std::chrono::steady_clock::now() < deadline) Sleep(20);
    const bool topmost = (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    return title + (topmost && GetForegroundWindow() == window ? " (in front)" : " (behind others)");
  }

  HWND Wait(const std::string& title, const char* windowClass) {
    if (lost_) return nullptr;
    const HWND window = uidriver::WaitForWindow(title, uidriver::kDefaultWait, windowClass);
    if (window != nullptr) return window;
    std::string shown;
    for (const HWND other : uidriver::WindowsOf(job_.Id())) shown += " \"" + uidriver::GetText(other) + "\"";
    log.push_back("<no \"" + title + "\"; shown:" + shown + ">");
    lost_ = true;
    return nullptr;
  }

  const uidriver::Process& job_;
  bool lost_ = false;
};

void ExpectEnded(uidriver::Process& job) { EXPECT_EQ(job.WaitExit(), std::optional<DWORD>(0)); }

// The lines of an outside.log once it has `count` of them (or whatever it has after the wait).
std::string OutsideLog(const std::string& folder, std::size_t count) {
  std::string content;
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  do {
    content = ReadFile(folder + "\\outside.log");
    if (static_cast<std::size_t>(std::count(content.begin(), content.end(), '\n')) >= count) break;
    Sleep(50);
  } while (std::chrono::steady_clock::now() < deadline);
  return content;
}

}  // namespace

TEST(SavepromptJob, ASecondCopyEndsAtOnceShowingReadingAndCleaningNothing) {
  Job first("first");
  first.AddScratchFile("job.pdf");
  ASSERT_TRUE(ModReg::SetSaveLocation(first.Folder() + "\\Out"));
  auto running = first.Start();
  User user(running);
  const HWND dialog = uidriver::WaitForWindow("Save File As");
  ASSERT_NE(dialog, nullptr);

  // Another copy in a folder of its own, with a job and a save folder it would create.
  const std::string otherFolder = kRoot + "\\second";
  RemoveTree(otherFolder);
  fs::create_directories(otherFolder + "\\temp");
  CopyFileA((TestFolder() + "\\saveprompt.exe").c_str(), (otherFolder + "\\saveprompt.exe").c_str(), FALSE);
  WriteFile(otherFolder + "\\temp\\job.pdf");
  ASSERT_TRUE(ModReg::SetSaveLocation(otherFolder + "\\Out"));
  auto second = uidriver::Process::Start(otherFolder + "\\saveprompt.exe");
  ASSERT_TRUE(second);
  EXPECT_EQ(second->WaitExit(5s), std::optional<DWORD>(0));
  EXPECT_FALSE(Exists(otherFolder + "\\Out")) << "the second copy read the settings";
  EXPECT_TRUE(Exists(otherFolder + "\\temp\\job.pdf"));

  user.CancelSave();
  user.Answer("Folvarek Options", IDOK);
  ExpectEnded(running);
  EXPECT_EQ(user.log, (Log{kSaveDialog, kNoPdf}));
}

TEST(SavepromptJob, WithoutAJobPdfPrintingAbortsAndNoPasswordIsAsked) {
  for (const char* other : {"", "notes.txt"}) {
    Job job("nopdf");
    if (*other != '\0') job.AddScratchFile(other);
    ASSERT_TRUE(ModReg::SetPasswordOpt("1"));
    auto running = job.Start();
    User user(running);
    user.Answer("Folvarek Options", IDOK);
    ExpectEnded(running);
    EXPECT_EQ(user.log, (Log{kNoPdf})) << other;
  }
}

TEST(SavepromptJob, AMissingScratchFolderEndsTheJobWithTheFailure) {
  Job job("noscratch");
  fs::remove(job.Scratch());
  auto running = job.Start();
  User user(running);
  user.Answer("Folvarek - Options", IDOK);
  ExpectEnded(running);
  EXPECT_EQ(user.log, (Log{Failure("Path not found")}));
}

TEST(SavepromptJob, TheJobPdfIsTheFirstFileByNameThatEndsInPdf) {
  const struct {
    std::vector<const char*> files;
    bool nameWithoutDot;  // the file taken has no dot: its name cannot be split
  } cases[] = {
      {{"notes.txt", "job.PDF"}, false},
      {{"job.pdf", "xpdf"}, false},
      {{"notes.txt", "xpdf"}, true},
      {{"apdf", "job.pdf"}, true},
  };
  for (const auto& c : cases) {
    Job job("scan");
    for (const char* file : c.files) job.AddScratchFile(file);
    auto running = job.Start();
    User user(running);
    if (c.nameWithoutDot) {
      user.Answer("Folvarek - Options", IDOK);
    } else {
      user.CancelSave();
      user.Answer("Folvarek Options", IDOK);
    }
    ExpectEnded(running);
    const Log expected =
        c.nameWithoutDot ? Log{Failure("Invalid procedure call or argument")} : Log{kSaveDialog, kNoPdf};
    EXPECT_EQ(user.log, expected) << c.files[0] << ", " << c.files[1];
  }
}

TEST(SavepromptJob, TheSaveFolderIsCreatedBeforeAnyPromptAndTheDialogStartsThere) {
  for (const char* setting : {"\\Out\\new", "\\Out\\new\\"}) {
    Job job("savefolder");
    job.AddScratchFile("job.pdf");
    const std::string folder = job.Folder() + "\\Out\\new";
    ASSERT_TRUE(ModReg::SetSaveLocation(job.Folder() + setting));
    auto running = job.Start();
    User user(running);
    ASSERT_NE(uidriver::WaitForWindow("Save File As"), nullptr);
    EXPECT_TRUE(fs::is_directory(folder)) << setting;

    // A bare name lands in the starting folder; it becomes report.pdf, which already exists there.
    WriteFile(folder + "\\report.pdf");
    user.ChooseFile("report");
    user.Answer("Folvarek  [Options]", IDYES);
    ExpectEnded(running);
    EXPECT_EQ(user.log, (Log{kSaveDialog, AlreadyExists(folder + "\\report.pdf")})) << setting;
    EXPECT_EQ(ReadFile(folder + "\\report.pdf"), kStamped);
  }
}

TEST(SavepromptJob, WithoutASaveFolderTheJobStillPrompts) {
  Job job("nosavefolder");
  job.AddScratchFile("job.pdf");
  const std::string chosen = job.Folder() + "\\chosen.pdf";
  WriteFile(chosen);
  auto running = job.Start();
  User user(running);
  user.ChooseFile(chosen);
  user.Answer("Folvarek  [Options]", IDYES);
  ExpectEnded(running);
  EXPECT_EQ(user.log, (Log{kSaveDialog, AlreadyExists(chosen)}));
  EXPECT_EQ(ReadFile(chosen), kStamped);
}

TEST(SavepromptJob, AnExistingFileIsReplacedOnlyWhenTheUserSaysSo) {
  Job job("existing");
  job.AddScratchFile("job.pdf");
  const std::string out = job.Folder() + "\\Out";
  ASSERT_TRUE(ModReg::SetSaveLocation(out));
  fs::create_directories(out);
  WriteFile(out + "\\keep.pdf");
  WriteFile(out + "\\Report.PDF");
  auto running = job.Start();
  User user(running);
  user.ChooseFile("keep.pdf");
  user.Answer("Folvarek  [Options]", IDNO);
  // A second existing file gets the question too.
  user.ChooseFile("Report.PDF");
  user.Answer("Folvarek  [Options]", IDYES);
  ExpectEnded(running);
  EXPECT_EQ(user.log, (Log{kSaveDialog, AlreadyExists(out + "\\keep.pdf"), kSaveDialog,
                           AlreadyExists(out + "\\Report.PDF")}));
  EXPECT_EQ(ReadFile(out + "\\keep.pdf"), kJobPdf);
  EXPECT_EQ(ReadFile(out + "\\Report.pdf"), kStamped);
}

TEST(SavepromptJob, AReadOnlyFileCannotBeOverwrittenAndTheUserIsAskedAgain) {
  Job job("readonly");
  job.AddScratchFile("job.pdf");
  const std::string out = job.Folder() + "\\Out";
  ASSERT_TRUE(ModReg::SetSaveLocation(out));
  fs::create_directories(out);
  const std::string locked = out + "\\locked.pdf";
  WriteFile(locked, "keep me");
  ASSERT_TRUE(SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY));
  auto running = job.Start();
  User user(running);
  user.ChooseFile("locked.pdf");
  user.Answer("Folvarek  [Options]", IDYES);
  user.Answer("Folvarek  [Options]", IDOK);
  user.CancelSave();
  user.Answer("Folvarek Options", IDOK);
  ExpectEnded(running);
  EXPECT_EQ(user.log, (Log{kSaveDialog, AlreadyExists(locked), kCannotOverwrite, kSaveDialog, kNoPdf}));
  EXPECT_EQ(ReadFile(locked), "keep me");
}

TEST(SavepromptJob, APathTooLongForTheDialogIsRefusedAndTheUserIsAskedAgain) {
  Job job("longpath");
  job.AddScratchFile("job.pdf");
  ASSERT_TRUE(ModReg::SetSaveLocation(job.Folder()));
  auto running = job.Start();
  User user(running);
  // 256 characters in all: more than the dialog's buffer holds, still a valid Windows path.
  user.ChooseFile(std::string(256 - job.Folder().size() - 5, 'n') + ".pdf");
  user.Answer("Folvarek  [Options]", IDOK);
  user.CancelSave();
  user.Answer("Folvarek Options", IDOK);
  ExpectEnded(running);
  EXPECT_EQ(user.log, (Log{kSaveDialog, kCannotOverwrite, kSaveDialog, kNoPdf}));
}

TEST(SavepromptJob, ThePasswordWindowShowsWhenTheSettingReadsAsOne) {
  for (const char* setting : {"1", "1.0", "2", "true"}) {
    Job job("password");
    job.AddScratchFile("job.pdf");
    ASSERT_TRUE(ModReg::SetPasswordOpt(setting));
    auto running = job.Start();
    User user(running);
    const bool asks = std::string(setting).starts_with("1");
    if (asks) {
      if (const HWND window = user.PasswordWindow()) {
        user.TypePasswords(window, "secret", "secret ");
        uidriver::PressButton(window, frmPassword::kOKButtonId);
        user.Answer("Folvarek  [Options]", IDOK);
        user.TypePasswords(window, "secret", "SECRET");
        uidriver::PressButton(window, frmPassword::kOKButtonId);
        user.Answer("Folvarek  [Options]", IDOK);
        uidriver::PressButton(window, frmPassword::kCancelButtonId);
      }
    }
    user.CancelSave();
    user.Answer("Folvarek Options", IDOK);
    ExpectEnded(running);
    const Log expected = asks ? Log{kPasswordWindow, kMismatch, kMismatch, kSaveDialog, kNoPdf} : Log{kSaveDialog, kNoPdf};
    EXPECT_EQ(user.log, expected) << setting;
  }
}

TEST(SavepromptJob, OutsideCommandsFromTheApplicationFolderRunAndPlantedOnesNever) {
  Job job("outside");
  job.AddScratchFile("job.pdf");
  const std::string marker = TestFolder() + "\\outside_marker.exe";
  for (const char* name : {"ShowPass.exe", "ShowSave.exe"}) {
    ASSERT_TRUE(CopyFileA(marker.c_str(), (job.Folder() + "\\" + name).c_str(), FALSE));
  }
  const std::string out = job.Folder() + "\\Out";
  fs::create_directories(out);
  ASSERT_TRUE(CopyFileA(marker.c_str(), (out + "\\ShowSave.exe").c_str(), FALSE));
  WriteFile(out + "\\old.pdf");
  ASSERT_TRUE(ModReg::SetSaveLocation(out));
  ASSERT_TRUE(ModReg::SetPasswordOpt("1"));

  auto running = job.Start();
  User user(running);
  if (const HWND window = user.PasswordWindow()) uidriver::PostKey(window, VK_ESCAPE);
  user.ChooseFile("old.pdf");  // the current folder is now the save folder
  user.Answer("Folvarek  [Options]", IDNO);
  user.CancelSave();
  user.Answer("Folvarek Options", IDOK);
  ExpectEnded(running);
  EXPECT_EQ(user.log, (Log{kPasswordWindow, kSaveDialog, AlreadyExists(out + "\\old.pdf"), kSaveDialog, kNoPdf}));
  EXPECT_EQ(OutsideLog(job.Folder(), 3), "ShowPass.exe\nShowSave.exe\nShowSave.exe\n");
  EXPECT_FALSE(Exists(out + "\\outside.log"));
}

TEST(SavepromptJob, OutsideCommandsByBareNameAreNeverTakenFromTheSaveFolder) {
  Job job("barename");
  job.AddScratchFile("job.pdf");
  const std::string marker = TestFolder() + "\\outside_marker.exe";
  const std::string onPath = job.Folder() + "\\onpath";
  const std::string out = job.Folder() + "\\Out";
  fs::create_directories(onPath);
  fs::create_directories(out);
  ASSERT_TRUE(CopyFileA(marker.c_str(), (onPath + "\\ShowSave.exe").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(marker.c_str(), (out + "\\ShowSave.exe").c_str(), FALSE));
  WriteFile(out + "\\old.pdf");
  ASSERT_TRUE(ModReg::SetSaveLocation(out));

  // saveprompt inherits this search path.
  char path[32767] = {};
  GetEnvironmentVariableA("PATH", path, sizeof path);
  const std::string original = path;
  SetEnvironmentVariableA("PATH", (onPath + ";" + original).c_str());
  auto running = job.Start();
  SetEnvironmentVariableA("PATH", original.c_str());

  User user(running);
  user.ChooseFile("old.pdf");
  user.Answer("Folvarek  [Options]", IDNO);
  user.CancelSave();
  user.Answer("Folvarek Options", IDOK);
  ExpectEnded(running);
  EXPECT_EQ(user.log, (Log{kSaveDialog, AlreadyExists(out + "\\old.pdf"), kSaveDialog, kNoPdf}));
  EXPECT_EQ(OutsideLog(onPath, 2), "ShowSave.exe\nShowSave.exe\n");
  EXPECT_FALSE(Exists(out + "\\outside.log"));
}

// From here on the jobs run to their end: security pass, stamp pass, viewing and close-down.

TEST(SavepromptJob, WithNoSecurityOptionTheJobPdfIsCopiedStampedAndCleanedUp) {
  Job job("plain");
  job.AddScratchFile("job.pdf");
  const std::string out = job.Folder() + "\\Out";
  ASSERT_TRUE(ModReg::SetSaveLocation(out));
  auto running = job.Start();
  User user(running);
  user.ChooseFile("report");
  ExpectEnded(running);
  EXPECT_EQ(user.log, (Log{kSaveDialog}));
  EXPECT_EQ(ReadFile(out + "\\report.pdf"), kStamped);
  EXPECT_EQ(job.Record("pdfenc"), "");
  const std::string stampingLine = SystemFolder() + "\\temp.pdf background " + SystemFolder() +
                                   "\\stamp.pdf output \"" + out + "\\report.pdf\"";
  EXPECT_NE(job.Record("Kestrix").find(" " + stampingLine + "\n"), std::string::npos) << job.Record("Kestrix");
  job.ExpectClearedUp();
  EXPECT_TRUE(Exists(SystemFolder() + "\\Kestrix.tlb"));
  EXPECT_TRUE(Exists(SystemFolder() + "\\Kestrix.dll"));
}

TEST(SavepromptJob, ClosingTheHiddenJobWindowDuringThePromptDoesNotLoseTheJob) {
  Job job("close");
  job.AddScratchFile("job.pdf");
  const std::string out = job.Folder() + "\\Out";
  ASSERT_TRUE(ModReg::SetSaveLocation(out));
  auto running = job.Start();
  User user(running);
  ASSERT_NE(uidriver::WaitForWindow("Save File As"), nullptr);
  const HWND jobWindow = FindWindowA("FolvarekJobWindow", "Folvarek Options");
  ASSERT_NE(jobWindow, nullptr);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(jobWindow, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
  EXPECT_TRUE(IsWindow(jobWindow));
  user.ChooseFile("report");
  ExpectEnded(running);
  EXPECT_EQ(ReadFile(out + "\\report.pdf"), kStamped);
  job.ExpectClearedUp();
}

TEST(SavepromptJob, ACancelledPasswordPromptStillSecuresWithTwoEmptyPasswords) {
  Job job("nopassword");
  job.AddScratchFile("job.pdf");
  const std::string out = job.Folder() + "\\Out";
  ASSERT_TRUE(ModReg::SetSaveLocation(out));
  ASSERT_TRUE(ModReg::SetPasswordOpt("1"));
  ASSERT_TRUE(ModReg::SetAllowCopyOpt("1"));
  auto running = job.Start();
  User user(running);
  if (const HWND window = user.PasswordWindow()) uidriver::PressButton(window, frmPassword::kCancelButtonId);
  user.ChooseFile("report.pdf");
  ExpectEnded(running);
  EXPECT_EQ(user.log, (Log{kPasswordWindow, kSaveDialog}));
  const std::string input = job.Scratch() + "\\job.pdf";
  const std::string args =
      "\"" + input + "\" \"" + out + "\\report.pdf\" \"\" \"\" 10000000 128 Creator \"Folvarek\" Producer \"Folvarek\"";
  EXPECT_NE(job.Record("pdfenc").find(" " + args + "\n"), std::string::npos) << job.Record("pdfenc");
  EXPECT_NE(job.Record("Kestrix").find("password-unset\n"), std::string::npos) << job.Record("Kestrix");
  EXPECT_EQ(ReadFile(out + "\\report.pdf"), kSecuredAndStamped);
  job.ExpectClearedUp();
}

TEST(SavepromptJob, APasswordWithQuotesAndATrailingBackslashReachesBothToolsIntact) {
  Job job("quotes");
  job.AddScratchFile("job.pdf");
  const std::string out = job.Folder() + "\\Out";
  ASSERT_TRUE(ModReg::SetSaveLocation(out));
  ASSERT_TRUE(ModReg::SetPasswordOpt("1"));
  const std::string password = "say \"hi\" \\";
  auto running = job.Start();
  User user(running);
  if (const HWND window = user.PasswordWindow()) {
    user.TypePasswords(window, password, password);
    uidriver::PressButton(window, frmPassword::kOKButtonId);
  }
  user.ChooseFile("report.pdf");
  ExpectEnded(running);
  EXPECT_EQ(user.log, (Log{kPasswordWindow, kSaveDialog}));
  const std::string pdfenc = job.Record("pdfenc");
  EXPECT_NE(pdfenc.find("arg3=" + password + "\narg4=" + password + "\narg5=10100000\n"), std::string::npos) << pdfenc;
  EXPECT_NE(pdfenc.find("password-unset\n"), std::string::npos) << pdfenc;
  EXPECT_NE(job.Record("Kestrix").find("password=" + password + "\n"), std::string::npos) << job.Record("Kestrix");
  EXPECT_EQ(ReadFile(out + "\\report.pdf"), kSecuredAndStamped);
}

TEST(SavepromptJob, WithoutAPdfViewerTheReaderIsOfferedAndNoKeepsTheFile) {
  Job job("noviewer");
  job.AddScratchFile("job.pdf");
  const std::string out = job.Folder() + "\\Out";
  ASSERT_TRUE(ModReg::SetSaveLocation(out));
  ASSERT_TRUE(ModReg::SetViewPDFOpt("1"));
  const uidriver::ClassesDefault pdfType(".pdf");
  ASSERT_TRUE(pdfType.Set("FolvarekTest.NoViewer"));
  auto running = job.Start();
  User user(running);
  user.ChooseFile("report.pdf");
  user.Answer("Folvarek Options", IDNO);
  ExpectEnded(running);
  EXPECT_EQ(user.log, (Log{kSaveDialog, kReaderOffer}));
  EXPECT_EQ(ReadFile(out + "\\report.pdf"), kStamped);
  job.ExpectClearedUp();
}

TEST(SavepromptJob, APdfencThatDoesNotDeliverEndsTheJobNamingToolAndFile) {
  const struct {
    const char* control;  // nullptr: no pdfenc at all
    std::string failure;  // followed by the target path
  } cases[] = {
      {"mode=never", "pdfenc did not write "},
      {"mode=empty", "pdfenc did not write "},
      {"mode=fail\nexit=4", "pdfenc failed with exit code 4 writing "},
      {nullptr, "pdfenc could not be started to write "},
  };
  for (const auto& c : cases) {
    Job job("pdfencfault");
    job.AddScratchFile("job.pdf");
    const std::string target = job.Folder() + "\\Out\\report.pdf";
    ASSERT_TRUE(ModReg::SetSaveLocation(job.Folder() + "\\Out"));
    ASSERT_TRUE(ModReg::SetAllowPrintOpt("1"));
    if (c.control != nullptr) job.Control("pdfenc", c.control);
    else DeleteFileA((job.Folder() + "\\pdfenc.exe").c_str());
    auto running = job.Start();
    User user(running);
    user.ChooseFile("report.pdf");
    user.Answer("Folvarek - Options", IDOK);
    ExpectEnded(running);
    EXPECT_EQ(user.log, (Log{kSaveDialog, Failure(c.failure + target)})) << c.failure;
    EXPECT_EQ(job.Record("Kestrix"), "");
    job.ExpectClearedUp();
  }
}

TEST(SavepromptJob, WhenTheStampCannotBeAppliedTheSecuredFileStaysAtTheTarget) {
  for (const bool installed : {true, false}) {
    Job job("stampfault");
    job.AddScratchFile("job.pdf");
    const std::string target = job.Folder() + "\\Out\\report.pdf";
    ASSERT_TRUE(ModReg::SetSaveLocation(job.Folder() + "\\Out"));
    ASSERT_TRUE(ModReg::SetAllowPrintOpt("1"));
    job.Control("Kestrix", "mode=fail");
    if (!installed) DeleteFromSystemFolder("\\Kestrix.tlb");
    auto running = job.Start();
    User user(running);
    user.ChooseFile("report.pdf");
    user.Answer("Folvarek - Options", IDOK);
    ExpectEnded(running);
    const std::string reason = installed ? "Kestrix.exe failed with exit code 3 writing " + target
                                         : "Kestrix.tlb could not be copied to " + SystemFolder() +
                                               "\\Kestrix.exe (File not found)";
    EXPECT_EQ(user.log, (Log{kSaveDialog, Failure(reason + ". The stamp could not be applied; " + target +
                                                  " is saved without it.")}));
    EXPECT_EQ(ReadFile(target), kSecured);
    job.ExpectClearedUp();
  }
}

TEST(SavepromptJob, ATargetLockedDuringThePassSendsTheUserBackToThePrompt) {
  Job job("locked");
  job.AddScratchFile("job.pdf");
  const std::string out = job.Folder() + "\\Out";
  ASSERT_TRUE(ModReg::SetSaveLocation(out));
  ASSERT_TRUE(ModReg::SetAllowPrintOpt("1"));
  job.Control("pdfenc", "linger_ms=3000");  // pdfenc stays a while after writing its result
  auto running = job.Start();
  User user(running);
  user.ChooseFile("report.pdf");
  // Another program opens the result before the stamp pass can take it.
  HANDLE lock = INVALID_HANDLE_VALUE;
  for (int i = 0; i < 500 && lock == INVALID_HANDLE_VALUE; ++i) {
    if (job.Record("pdfenc").find("written\n") != std::string::npos) {
      lock = CreateFileA((out + "\\report.pdf").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    if (lock == INVALID_HANDLE_VALUE) Sleep(20);
  }
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  user.Answer("Folvarek  [Options]", IDOK);
  CloseHandle(lock);
  user.ChooseFile("second.pdf");
  ExpectEnded(running);
  EXPECT_EQ(user.log, (Log{kSaveDialog, kCannotOverwrite, kSaveDialog}));
  EXPECT_EQ(ReadFile(out + "\\report.pdf"), kSecured);
  EXPECT_EQ(ReadFile(out + "\\second.pdf"), kSecuredAndStamped);
  job.ExpectClearedUp();
}

TEST(SavepromptJob, StagedFilesAlreadyThereAreUsedAndOnlyHiddenOnesOutliveTheJob) {
  {
    Job job("ownstamp");
    job.AddScratchFile("job.pdf");
    // An own stamp and tool, and nothing installed to refresh them from.
    for (const char* installed : kInstalledFiles) DeleteFromSystemFolder(installed);
    ASSERT_TRUE(CopyFileA((TestFolder() + "\\tool_double.exe").c_str(), (SystemFolder() + "\\Kestrix.exe").c_str(), FALSE));
    WriteFile(SystemFolder() + "\\stamp.pdf", "%PDF-own-stamp\n");
    ASSERT_TRUE(ModReg::SetSaveLocation(job.Folder() + "\\Out"));
    auto running = job.Start();
    User user(running);
    user.ChooseFile("report.pdf");
    ExpectEnded(running);
    EXPECT_EQ(user.log, (Log{kSaveDialog}));
    EXPECT_EQ(ReadFile(job.Folder() + "\\Out\\report.pdf"), kJobPdf + "\n%Kestrix on %PDF-own-stamp\n");
    job.ExpectClearedUp();
  }
  {
    Job job("hidden");
    job.AddScratchFile("job.pdf");
    const std::string hidden = SystemFolder() + "\\temp.pdf";
    WriteFile(hidden, "someone else's");
    ASSERT_TRUE(SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN));
    WriteFile(SystemFolder() + "\\stamp.pdf", "%PDF-stamp\n");
    auto running = job.Start();
    User user(running);
    user.CancelSave();
    user.Answer("Folvarek Options", IDOK);
    ExpectEnded(running);
    EXPECT_EQ(user.log, (Log{kSaveDialog, kNoPdf}));
    EXPECT_EQ(ReadFile(hidden), "someone else's");
    EXPECT_FALSE(Exists(SystemFolder() + "\\stamp.pdf"));
    EXPECT_FALSE(Exists(job.Scratch()));
  }
}
