// The post-processing, the close-down and the Open action against the test prefix's real file
// system, shell and registry, with the tool double standing in for pdfenc, the stamp tool, a PDF
// viewer and a web browser. Message boxes appear on the test's own thread; a second thread plays
// the user through the UI driver.
#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "CloseDown.h"
#include "JobError.h"
#include "JobState.h"
#include "ModOnTOp.h"
#include "ModReg.h"
#include "OutsideCommand.h"
#include "PostProcess.h"
#include "UiDriver.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::string kRoot = R"(C:\folvarek-postprocess)";
const std::string kJobPdf = "%PDF-job\n";
const std::string kStamp = "%PDF-stamp\n";
const std::string kSecured = kJobPdf + "\n%pdfenc\n";
const std::string kMessage5 =
    "Unable to open the pdf files because Adobe Acrobat reader is not installed on your system\\r\\n"
    "Do You want to download Adobe Acrobat reader";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

// Removes what it can of a folder tree: a file that something still holds stays, with its folders.
void RemoveTree(const std::string& folder) {
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(folder, ignored)) {
    if (entry.is_directory(ignored)) RemoveTree(entry.path().string());
    else fs::remove(entry.path(), ignored);
  }
  fs::remove(folder, ignored);
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string SelfFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string self = path;
  return self.substr(0, self.find_last_of('\\'));
}

std::string DoublePath() { return SelfFolder() + "\\tool_double.exe"; }

bool ProcessRuns(const std::string& exeName) {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry)) {
    found = _stricmp(entry.szExeFile, exeName.c_str()) == 0;
  }
  CloseHandle(snapshot);
  return found;
}

// Answers the next message box with this title from another thread; its description comes back.
std::future<std::string> AnswerLater(const std::string& title, int button) {
  return std::async(std::launch::async, [title, button] {
    const auto box = uidriver::AnswerMessageBox(title, button, 20s);
    return box ? uidriver::Describe(*box) : std::string("<no message box>");
  });
}

class PostProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveTree(kRoot);
    fs::create_directories(scratch_);
    fs::create_directories(out_);
    fs::create_directories(doubles_);
    SetEnvironmentVariableA("FOLVAREK_DOUBLES", doubles_.c_str());
    ASSERT_TRUE(CopyFileA(DoublePath().c_str(), (app_ + "\\pdfenc.exe").c_str(), FALSE));
    for (const char* staged : {"\\Kestrix.exe", "\\temp.pdf", "\\stamp.pdf"}) {
      SetFileAttributesA((system_ + staged).c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA((system_ + staged).c_str());
    }
    ASSERT_TRUE(CopyFileA(DoublePath().c_str(), (system_ + "\\Kestrix.tlb").c_str(), FALSE));
    WriteFile(system_ + "\\Kestrix.dll", kStamp);
    WriteFile(scratch_ + "\\job.pdf", kJobPdf);

    job_.appFolder = app_;
    job_.saveFolder = out_ + "\\";
    job_.jobPdfPath = scratch_ + "\\job.pdf";
    job_.baseName = "job";
    job_.extension = "pdf";
    job_.targetPath = target_;
    job_.AskforPass = "0";
    job_.AllowCopy = "0";
    job_.AllowPrint = "0";
    job_.strPermissions = "10100000";
    strPassword.clear();
    ASSERT_TRUE(ModReg::SetViewPDFOpt("0"));
  }

  void TearDown() override {
    CloseDown(app_);
    for (const char* installed : {"\\Kestrix.tlb", "\\Kestrix.dll", "\\temp.pdf"}) {
      SetFileAttributesA((system_ + installed).c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA((system_ + installed).c_str());
    }
    RemoveTree(kRoot);
  }

  void Control(const std::string& tool, const std::string& lines) { WriteFile(doubles_ + "\\" + tool + ".control", lines); }
  std::string Record(const std::string& tool) { return ReadFile(doubles_ + "\\" + tool + ".record"); }
  bool Ran(const std::string& tool) { return Exists(doubles_ + "\\" + tool + ".record"); }

  // Runs the post-processing; the failure it ended with, if any.
  std::optional<JobError> Run(std::chrono::milliseconds stallLimit = kToolStallLimit) {
    const JobLabels labels{[this](const std::string& text) { lblPath_ = text; },
                           [this](const std::string& text) { Label5_ = text; }};
    try {
      RunPostProcessing(job_, nullptr, labels, stallLimit);
    } catch (const JobError& failure) {
      return failure;
    }
    return std::nullopt;
  }

  void SecureWithPdfenc() {
    job_.AllowPrint = "1";
    job_.strPermissions = "00100000";
  }

  const std::string system_ = GetSystemDir();
  const std::string app_ = kRoot + "\\app";
  const std::string scratch_ = app_ + "\\temp";
  const std::string out_ = kRoot + "\\Out Folder";
  const std::string doubles_ = kRoot + "\\doubles";
  const std::string target_ = out_ + "\\report.pdf";
  JobState job_;
  std::string lblPath_;
  std::string Label5_;
};

TEST_F(PostProcessTest, WithNoSecurityOptionTheJobPdfIsCopiedAndStampedAndTheCloseDownClearsUp) {
  ASSERT_FALSE(Run());
  EXPECT_FALSE(Ran("pdfenc"));
  EXPECT_EQ(ReadFile(target_), kJobPdf + "\n%Kestrix on %PDF-stamp\n");
  // The job's PDF took the target's name on its way.
  EXPECT_FALSE(Exists(scratch_ + "\\job.pdf"));
  EXPECT_EQ(ReadFile(scratch_ + "\\report.pdf"), kJobPdf);
  EXPECT_EQ(lblPath_, out_ + "\\");
  EXPECT_EQ(Label5_, target_);
  EXPECT_EQ(WaitDelay, static_cast<std::int32_t>(kJobPdf.size()));

  const std::string stampingLine = system_ + "\\temp.pdf background " + system_ + "\\stamp.pdf output \"" + target_ + "\"";
  const std::string record = Record("Kestrix");
  EXPECT_NE(record.find(" " + stampingLine + "\n"), std::string::npos) << record;
  EXPECT_NE(record.find("cwd=" + app_ + "\n"), std::string::npos) << record;
  EXPECT_NE(record.find("password-unset\n"), std::string::npos) << record;
  EXPECT_EQ(ReadFile(system_ + "\\temp.pdf"), kJobPdf);  // kept until the close-down

  CloseDown(app_);
  EXPECT_FALSE(Exists(scratch_));
  for (const char* staged : {"\\Kestrix.exe", "\\temp.pdf", "\\stamp.pdf"}) EXPECT_FALSE(Exists(system_ + staged)) << staged;
  EXPECT_TRUE(Exists(system_ + "\\Kestrix.tlb"));
  EXPECT_TRUE(Exists(system_ + "\\Kestrix.dll"));
  EXPECT_EQ(ReadFile(target_), kJobPdf + "\n%Kestrix on %PDF-stamp\n");
}

TEST_F(PostProcessTest, WithABlankSaveFolderThePathLabelShowsTheScratchFolder) {
  job_.saveFolder = "  ";
  ASSERT_FALSE(Run());
  EXPECT_EQ(lblPath_, scratch_);
  EXPECT_EQ(Label5_, target_);
}

TEST_F(PostProcessTest, ToolsThatWriteSlowlyAreWaitedForAsLongAsTheirOutputGrows) {
  SecureWithPdfenc();
  // Each tool writes for longer than the limit, but never pauses that long; pdfenc, like the real
  // tools, writes beside its output and renames the file at the end.
  Control("pdfenc", "mode=slow\nchunks=5\nchunk_ms=400\nstaged=1\n");
  Control("Kestrix", "mode=slow\nchunks=5\nchunk_ms=400\n");
  ASSERT_FALSE(Run(1500ms));
  EXPECT_EQ(ReadFile(target_), kSecured + "\n%Kestrix on %PDF-stamp\n");
}

TEST_F(PostProcessTest, APdfencThatDoesNotDeliverEndsTheJobNamingToolAndFile) {
  SecureWithPdfenc();
  const struct {
    const char* control;
    std::string description;
  } cases[] = {
      {"mode=never", "pdfenc did not write " + target_},
      {"mode=empty", "pdfenc did not write " + target_},
      {"mode=fail\nexit=3", "pdfenc failed with exit code 3 writing " + target_},
      {"mode=hang", "pdfenc did not write " + target_},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.control);
    Control("pdfenc", c.control);
    const auto failure = Run(1s);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->Number(), JobFailure::Other);
    EXPECT_EQ(failure->Description(), c.description);
    EXPECT_FALSE(Ran("Kestrix"));
    EXPECT_FALSE(ProcessRuns("pdfenc.exe"));  // a stalled tool is ended, not left behind
    DeleteFileA(target_.c_str());
  }
  DeleteFileA((app_ + "\\pdfenc.exe").c_str());
  const auto missing = Run(1s);
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->Description(), "pdfenc could not be started to write " + target_);
  EXPECT_FALSE(Exists(target_));
}

// Under Wine a Linux program can stand in for pdfenc; the shell then hands back no process.
TEST_F(PostProcessTest, WithoutAProcessToWatchTheJobGoesByTheFileAlone) {
  using UnixName = char*(CDECL*)(const wchar_t*);
  const auto unixName = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (unixName == nullptr) GTEST_SKIP() << "needs Wine";
  SecureWithPdfenc();
  // Wine keeps the started file open until the test ends, so it goes into a folder of its own.
  job_.appFolder = kRoot + "\\unix-app";
  fs::create_directories(job_.appFolder);
  ASSERT_TRUE(CopyFileA((SelfFolder() + "\\unix_tool.sh").c_str(), (job_.appFolder + "\\pdfenc.exe").c_str(), FALSE));
  const std::wstring wideTarget(target_.begin(), target_.end());
  char* unixTarget = unixName(wideTarget.c_str());
  ASSERT_NE(unixTarget, nullptr);
  SetEnvironmentVariableA("FOLVAREK_UNIX_OUT", unixTarget);
  HeapFree(GetProcessHeap(), 0, unixTarget);
    ASSERT_FALSE(Run());
    EXPECT_EQ(ReadFile(target_), "%PDF-unix\n\n%Kestrix on %PDF-stamp\n");

  DeleteFileA(target_.c_str());
  SetEnvironmentVariableA("FOLVAREK_UNIX_OUT", "");
    const auto failure = Run(1s);
    SetEnvironmentVariableA("FOLVAREK_UNIX_OUT", nullptr);
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->Description(), "pdfenc did not write " + target_);
}

TEST_F(PostProcessTest, AJobPdfThatStaysEmptyEndsTheJobInTime) {
  WriteFile(job_.jobPdfPath, "");
  const auto failure = Run(500ms);
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->Description(), "The print job did not write " + job_.jobPdfPath);
  EXPECT_FALSE(Ran("Kestrix"));
}

TEST_F(PostProcessTest, WhenTheStampCannotBeAppliedTheSecuredFileIsPutBackAtTheTarget) {
  SecureWithPdfenc();
  const std::string keeps = ". The stamp could not be applied; " + target_ + " is saved without it.";
  const struct {
    const char* control;
    std::string description;
  } cases[] = {
      {"mode=fail", "Kestrix.exe failed with exit code 3 writing " + target_ + keeps},
      {"mode=never", "Kestrix.exe did not write " + target_ + keeps},
      {"mode=empty", "Kestrix.exe did not write " + target_ + keeps},
      {"mode=hang", "Kestrix.exe did not write " + target_ + keeps},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.control);
    Control("Kestrix", c.control);
    const auto failure = Run(1s);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->Number(), JobFailure::Other);
    EXPECT_EQ(failure->Description(), c.description);
    EXPECT_EQ(ReadFile(target_), kSecured);
    EXPECT_FALSE(ProcessRuns("Kestrix.exe"));
    DeleteFileA(target_.c_str());
  }
  // No stamp tool installed, none staged.
  DeleteFileA((system_ + "\\Kestrix.exe").c_str());
  DeleteFileA((system_ + "\\Kestrix.tlb").c_str());
  const auto missing = Run(1s);
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->Description(), "Kestrix.tlb could not be copied to " + system_ + "\\Kestrix.exe (File not found)" + keeps);
  EXPECT_EQ(ReadFile(target_), kSecured);
}

TEST_F(PostProcessTest, ALockedTargetSendsTheUserBackAndTheNextAttemptStartsFromTheRenamedPdf) {
  // The direct copy meets a locked file of the target's name.
  WriteFile(target_, "held by another program");
  HANDLE lock = CreateFileA(target_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  const auto failure = Run();
  CloseHandle(lock);
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->Number(), JobFailure::PermissionDenied);
  EXPECT_TRUE(failure->SendsBackToPrompt());
  EXPECT_EQ(ReadFile(target_), "held by another program");

  // The user picks another name; the job goes on from the renamed job PDF.
  job_.targetPath = out_ + "\\second.pdf";
  ASSERT_FALSE(Run());
  EXPECT_EQ(ReadFile(job_.targetPath), kJobPdf + "\n%Kestrix on %PDF-stamp\n");
}

class ViewingTest : public PostProcessTest {
 protected:
  void SetUp() override {
    PostProcessTest::SetUp();
    ASSERT_TRUE(ModReg::SetViewPDFOpt("1"));
    Control("viewer", "mode=never");
    Control("browser", "mode=never");
    ASSERT_TRUE(CopyFileA(DoublePath().c_str(), (doubles_ + "\\viewer.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(DoublePath().c_str(), (doubles_ + "\\browser.exe").c_str(), FALSE));
    // The prefix's own handlers would start a browser on the host.
    ASSERT_TRUE(browser_.Set("\"" + doubles_ + "\\browser.exe\" \"%1\""));
  }
  void RegisterViewer() {
    ASSERT_TRUE(pdf_.Set("FolvarekTest.Viewer"));
    ASSERT_TRUE(viewer_.Set("\"" + doubles_ + "\\viewer.exe\" \"%1\""));
  }
  void RegisterNoViewer() { ASSERT_TRUE(pdf_.Set("FolvarekTest.NoViewer")); }
  void TearDown() override {
    PostProcessTest::TearDown();
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "FolvarekTest.Viewer");
  }
  // Tools started for viewing are not waited for by the job: the test waits for the double to have
  // ended, so its record is complete and nothing of it outlives the test.
  std::string AwaitRecord(const std::string& tool) {
    EXPECT_TRUE(uidriver::WaitUntil([&] { return Ran(tool) && !ProcessRuns(tool + ".exe"); })) << tool;
    return Record(tool);
  }
  // Checked at once after the step that would have started it: a started double is still running,
  // or has written its record before ending.
  bool Started(const std::string& tool) { return ProcessRuns(tool + ".exe") || Ran(tool); }

  uidriver::ClassesDefault pdf_{".pdf"};
  uidriver::ClassesDefault viewer_{"FolvarekTest.Viewer\\shell\\open\\command"};
  uidriver::ClassesDefault browser_{"https\\shell\\open\\command"};
};

TEST_F(ViewingTest, TheFinishedFileOpensInTheRegisteredViewerOnlyWhenTheSettingAsks) {
  RegisterViewer();
  ASSERT_TRUE(ModReg::SetViewPDFOpt("0"));
  ASSERT_FALSE(Run());
  EXPECT_FALSE(Started("viewer"));

  ASSERT_TRUE(ModReg::SetViewPDFOpt("1.0"));
  DeleteFileA(target_.c_str());
  ASSERT_FALSE(Run());
  EXPECT_NE(AwaitRecord("viewer").find("arg1=" + target_ + "\n"), std::string::npos) << Record("viewer");
}

TEST_F(ViewingTest, WithoutAViewerTheReaderIsOfferedAndEitherAnswerKeepsTheFile) {
  RegisterNoViewer();
  auto answer = AnswerLater("Folvarek Options", IDNO);
  ASSERT_FALSE(Run());
  EXPECT_EQ(answer.get(), "Folvarek Options | " + kMessage5 + " | Yes,No | none");
  EXPECT_EQ(ReadFile(target_), kJobPdf + "\n%Kestrix on %PDF-stamp\n");
  EXPECT_FALSE(Started("browser"));

  DeleteFileA(target_.c_str());
  answer = AnswerLater("Folvarek Options", IDYES);
  ASSERT_FALSE(Run());
  EXPECT_EQ(answer.get(), "Folvarek Options | " + kMessage5 + " | Yes,No | none");
  EXPECT_NE(AwaitRecord("browser").find("arg1=https://get.adobe.com/reader/\n"), std::string::npos) << Record("browser");
  EXPECT_TRUE(Exists(target_));
}

// The job window stands in as a plain window that notes being asked to close.
LRESULT CALLBACK JobWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    SetPropA(window, "closed", reinterpret_cast<HANDLE>(1));
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

class OpenActionTest : public ViewingTest {
 protected:
  void SetUp() override {
    ViewingTest::SetUp();
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = JobWindowProc;
    windowClass.lpszClassName = "FolvarekTestJobWindow";
    RegisterClassA(&windowClass);
    window_ = CreateWindowExA(WS_EX_TOPMOST, "FolvarekTestJobWindow", "Folvarek Options", WS_POPUP, 0, 0, 1, 1,
                              nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
    WriteFile(target_, "%PDF-finished\n");
  }
  void TearDown() override {
    DestroyWindow(window_);
    ViewingTest::TearDown();
  }
  bool Closed() const { return GetPropA(window_, "closed") != nullptr; }

  HWND window_ = nullptr;
};

TEST_F(OpenActionTest, OpensTheFinishedFileAndLeavesTheTopmostBand) {
  RegisterViewer();
  OpenAction(window_, target_);
  EXPECT_NE(AwaitRecord("viewer").find("arg1=" + target_ + "\n"), std::string::npos) << Record("viewer");
  EXPECT_FALSE(GetWindowLongA(window_, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_FALSE(Closed());
}

TEST_F(OpenActionTest, WithoutAViewerOffersTheReaderAndNoChangesNothing) {
  RegisterNoViewer();
  auto answer = AnswerLater("Folvarek  [Options]", IDNO);
  OpenAction(window_, target_);
  EXPECT_EQ(answer.get(), "Folvarek  [Options] | " + kMessage5 + " | Yes,No | none");
  EXPECT_FALSE(Closed());
  EXPECT_TRUE(Exists(target_));
  EXPECT_FALSE(Started("browser"));
}

TEST_F(OpenActionTest, AMissingFileIsReportedAndTheJobWindowCloses) {
  auto answer = AnswerLater("Folvarek  [Options]", IDOK);
  OpenAction(window_, out_ + "\\gone.pdf");
  EXPECT_EQ(answer.get(),
            "Folvarek  [Options] | Could not open file due to this error \\r\\nFile does not exit on temp path | OK | none");
  EXPECT_TRUE(Closed());
}

TEST_F(PostProcessTest, TheCloseDownLeavesHiddenStagedFilesAndGivesUpOnWhatItCannotDelete) {
  fs::create_directories(scratch_ + "\\nested");
  WriteFile(scratch_ + "\\nested\\page.tmp", "x");
  WriteFile(scratch_ + "\\kept.pdf", "read-only");
  SetFileAttributesA((scratch_ + "\\kept.pdf").c_str(), FILE_ATTRIBUTE_READONLY);
  WriteFile(system_ + "\\temp.pdf", "hidden");
  SetFileAttributesA((system_ + "\\temp.pdf").c_str(), FILE_ATTRIBUTE_HIDDEN);
  WriteFile(system_ + "\\stamp.pdf", kStamp);
  ASSERT_TRUE(CopyFileA(DoublePath().c_str(), (system_ + "\\Kestrix.exe").c_str(), FALSE));

  CloseDown(app_);
  EXPECT_TRUE(Exists(system_ + "\\temp.pdf"));
  EXPECT_FALSE(Exists(system_ + "\\stamp.pdf"));
  EXPECT_FALSE(Exists(system_ + "\\Kestrix.exe"));
  // Not forced: the read-only file and its folder stay, everything else went.
  EXPECT_TRUE(Exists(scratch_ + "\\kept.pdf"));
  EXPECT_FALSE(Exists(scratch_ + "\\nested"));
  EXPECT_FALSE(Exists(scratch_ + "\\job.pdf"));
  SetFileAttributesA((scratch_ + "\\kept.pdf").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(PostProcessTest, AnOutsideCommandGetsItsVariableAloneAndHandsBackItsProcess) {
  SetEnvironmentVariableA("FOLVAREK_PDF_PASSWORD", "the job's own");
  OutsideCommand command;
  command.file = "pdfenc";  // a bare name: the program in the application folder
  command.environmentName = "FOLVAREK_PDF_PASSWORD";
  for (const std::string value : {"for this child", ""}) {
    command.environmentValue = value;
    const OutsideStart started = StartOutsideCommand(app_, command);
    ASSERT_TRUE(started.Started());
    ASSERT_TRUE(started.process);
    EXPECT_EQ(WaitForSingleObject(started.process.get(), 20000), WAIT_OBJECT_0);
    const std::string record = Record("pdfenc");
    EXPECT_EQ(record.rfind("line=\"" + app_ + "\\pdfenc.", 0), 0u) << record;
    // An empty value: the child gets no such variable at all.
    EXPECT_NE(record.find(value.empty() ? "password-unset\n" : "password=" + value + "\n"), std::string::npos) << record;
    char own[64] = {};
    GetEnvironmentVariableA("FOLVAREK_PDF_PASSWORD", own, sizeof own);
    EXPECT_STREQ(own, "the job's own");
  }
  SetEnvironmentVariableA("FOLVAREK_PDF_PASSWORD", nullptr);
}

}  // namespace
