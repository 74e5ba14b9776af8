// settingsdesk.exe played by the driver from this process, against Wine's real registry, file
// system and folder dialog. Every case starts from no settings tree and an empty scratch folder.
#include <windows.h>
#include <sddl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "UiDriver.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const char* const kTree = "SOFTWARE\\Folvarek";
const char* const kTitle = "Folvarek Settings";
const std::string kScratch = "C:\\folvarek-settingsdesk";

const char* const kLocation = "SOFTWARE\\Folvarek\\SaveLocation\\Path";
const char* const kPassword = "SOFTWARE\\Folvarek\\Password\\Opt";
const char* const kAllowCopy = "SOFTWARE\\Folvarek\\AllowCopy\\Opt";
const char* const kAllowPrint = "SOFTWARE\\Folvarek\\AllowPrint\\Opt";
const char* const kViewPDF = "SOFTWARE\\Folvarek\\ViewPDF\\Opt";

const char* const kChkPassword = "Ask if you want to set a password when creating your PDF file";
const char* const kChkAllowCopy = "Stop users copying from PDF files you create";
const char* const kChkAllowPrint = "Stop users printing from PDF files you create";
const char* const kChkPDFResults = "Automatically open PDF file after creation";

const std::string kPleaseSpecify = "settingsdesk | Please specify a location to save files | OK | none";
const std::string kCouldNotSave = "settingsdesk | Could not Save Settings | OK | none";

std::string ProgramPath() { return uidriver::WindowsPath(SETTINGSDESK_EXE); }

// The default value of a key as stored, or nullopt when the key or value is missing.
std::optional<std::string> Stored(const char* path) {
  char data[1024] = {};
  DWORD size = sizeof data;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, path, nullptr, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::string(data);
}

void Store(const char* path, const std::string& text) {
  ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, path, nullptr, REG_SZ, text.c_str(),
                            static_cast<DWORD>(text.size() + 1)),
            ERROR_SUCCESS);
}

bool TreeExists() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTree, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// Sets who may do what with a key, in the system's descriptor language.
void SetKeyAccess(const char* path, const char* descriptor) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, WRITE_DAC, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  PSECURITY_DESCRIPTOR security = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(descriptor, SDDL_REVISION_1, &security, nullptr));
  EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, security), ERROR_SUCCESS);
  LocalFree(security);
  RegCloseKey(key);
}
// Everyone may read the key, change its access and delete it, but not write it.
void LockKey(const char* path) { SetKeyAccess(path, "D:P(A;;KRSDWD;;;WD)"); }
void UnlockKey(const char* path) { SetKeyAccess(path, "D:P(A;;KA;;;WD)"); }

// What the shell calls a folder in its trees (the names differ between systems and languages).
std::string ShellName(int folderId) {
  PIDLIST_ABSOLUTE folder = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, folderId, &folder))) return {};
  SHFILEINFOA info{};
  SHGetFileInfoA(reinterpret_cast<const char*>(folder), 0, &info, sizeof info, SHGFI_PIDL | SHGFI_DISPLAYNAME);
  CoTaskMemFree(folder);
  return info.szDisplayName;
}
std::string ShellName(const std::string& path) {
  SHFILEINFOA info{};
  SHGetFileInfoA(path.c_str(), 0, &info, sizeof info, SHGFI_DISPLAYNAME);
  return info.szDisplayName;
}

bool FolderExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

class SettingsDesk : public ::testing::Test {
 protected:
  void SetUp() override {
    Reset();
    ASSERT_TRUE(CreateDirectoryA(kScratch.c_str(), nullptr));
  }
  void TearDown() override { Reset(); }

  static void Reset() {
    for (const char* path : {kLocation, kPassword, kAllowCopy, kAllowPrint, kViewPDF}) {
      HKEY key = nullptr;
      if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegCloseKey(key);
        UnlockKey(path);
      }
    }
    const LSTATUS rc = RegDeleteTreeA(HKEY_LOCAL_MACHINE, kTree);
    ASSERT_TRUE(rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) << rc;
    std::error_code ignored;
    fs::remove_all(kScratch, ignored);
    ASSERT_FALSE(FolderExists(kScratch));
  }

  // Starts the program and waits for its window.
  void Start() {
    process_ = uidriver::Process::Start(ProgramPath());
    ASSERT_TRUE(process_) << ProgramPath();
    form_ = uidriver::WaitForWindow(kTitle);
    ASSERT_NE(form_, nullptr);
  }

  [[nodiscard]] HWND Control(const char* caption) const { return uidriver::FindControl(form_, nullptr, caption); }
  [[nodiscard]] HWND PathBox() const {
    const auto edits = uidriver::Controls(form_, "Edit");
    return edits.size() == 1 ? edits.front() : nullptr;
  }
  [[nodiscard]] std::optional<int> CheckOf(const char* caption) const { return uidriver::GetCheck(Control(caption)); }

  // The window's only window is the form itself: no message box or dialog is open.
  [[nodiscard]] bool OnlyTheFormIsOpen() const {
    return uidriver::WindowsOf(process_->Id()) == std::vector<HWND>{form_};
  }

  void Click(const char* caption) { uidriver::Click(Control(caption)); }
  // A key pressed on whatever has the focus.
  void PressKey(WPARAM key) { uidriver::PostKey(uidriver::FocusOf(form_), key); }

  // Waits for the program to end by itself and checks that it ended well.
  void ExpectExit() { EXPECT_EQ(process_->WaitExit(), std::optional<DWORD>(0)); }

  // Waits until the focus is on `control`.
  [[nodiscard]] bool FocusReaches(HWND control) const {
    return uidriver::WaitUntil([&] { return uidriver::FocusOf(form_) == control; });
  }

  std::optional<uidriver::Process> process_;
  HWND form_ = nullptr;
};

TEST_F(SettingsDesk, WithoutSettingsOkAsksForALocationAndStoresNothing) {
  Start();
  EXPECT_EQ(uidriver::GetText(PathBox()), "");
  for (const char* box : {kChkPassword, kChkAllowCopy, kChkAllowPrint, kChkPDFResults}) {
    EXPECT_EQ(CheckOf(box), std::optional<int>(BST_UNCHECKED)) << box;
  }
  EXPECT_TRUE(FocusReaches(Control("OK")));

  // Empty, then blanks only: the same message each time, the focus goes to the folder box.
  for (const std::string typed : {"", "    "}) {
    ASSERT_TRUE(uidriver::SetText(PathBox(), typed));
    Click("OK");
    const auto box = uidriver::AnswerMessageBox("settingsdesk", IDOK);
    ASSERT_TRUE(box) << '"' << typed << '"';
    EXPECT_EQ(uidriver::Describe(*box), kPleaseSpecify);
    EXPECT_TRUE(FocusReaches(PathBox())) << '"' << typed << '"';
    EXPECT_TRUE(OnlyTheFormIsOpen());
    EXPECT_FALSE(TreeExists());
  }

  Click("Cancel");
  ExpectExit();
  EXPECT_FALSE(TreeExists());
}

TEST_F(SettingsDesk, OkCreatesAMissingFolderThreeLevelsDeepAndStoresWhatIsShown) {
  Start();
  const std::string location = kScratch + "\\one\\two\\three";
  ASSERT_TRUE(uidriver::SetText(PathBox(), location));
  Click(kChkPassword);
  Click(kChkAllowPrint);
  ASSERT_TRUE(uidriver::WaitUntil([&] { return CheckOf(kChkAllowPrint) == BST_CHECKED; }));
  Click("OK");
  ExpectExit();

  EXPECT_TRUE(FolderExists(location));
  EXPECT_EQ(Stored(kLocation), location);
  EXPECT_EQ(Stored(kPassword), "1");
  EXPECT_EQ(Stored(kAllowCopy), "0");
  EXPECT_EQ(Stored(kAllowPrint), "1");
  EXPECT_EQ(Stored(kViewPDF), "0");
}

TEST_F(SettingsDesk, ALocationIsStoredWithItsBlanksAndLoadedWithThem) {
  const std::string folder = kScratch + "\\kept";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  const std::string typed = "  " + folder + " ";
  Start();
  ASSERT_TRUE(uidriver::SetText(PathBox(), typed));
  Click("OK");
  ExpectExit();
  EXPECT_EQ(Stored(kLocation), typed);

  // The next start shows the location exactly as stored.
  Start();
  EXPECT_EQ(uidriver::GetText(PathBox()), typed);
  Click("Cancel");
  ExpectExit();
  EXPECT_EQ(Stored(kLocation), typed);
}

TEST_F(SettingsDesk, ClosingWithoutOkCreatesTheTypedFolderButStoresNothing) {
  // Cancel, the title bar's close button, and the end of the session all unload the window.
  const struct {
    const char* how;
    std::function<void(HWND form)> close;
  } ways[] = {
      {"Cancel", [](HWND form) { uidriver::Click(uidriver::FindControl(form, nullptr, "Cancel")); }},
      {"close button", [](HWND form) { PostMessageA(form, WM_SYSCOMMAND, SC_CLOSE, 0); }},
      {"session end", [](HWND form) { PostMessageA(form, WM_ENDSESSION, TRUE, 0); }},
  };
  for (const auto& way : ways) {
    const std::string location = kScratch + "\\" + way.how + "\\missing";
    Start();
    ASSERT_TRUE(uidriver::SetText(PathBox(), location));
    Click(kChkPassword);
    way.close(form_);
    ExpectExit();
    EXPECT_TRUE(FolderExists(location)) << way.how;
    EXPECT_FALSE(TreeExists()) << way.how;
  }
}

TEST_F(SettingsDesk, StoredFlagsShowRoundedAndGreyedBoxesStoreZeroUnlessTicked) {
  Store(kLocation, kScratch);
  Store(kPassword, "2");
  Store(kAllowCopy, "1.5");
  Store(kAllowPrint, "0.5");
  Store(kViewPDF, "7");
  Start();
  EXPECT_EQ(uidriver::GetText(PathBox()), kScratch);
  EXPECT_EQ(CheckOf(kChkPassword), std::optional<int>(BST_INDETERMINATE));
  EXPECT_EQ(CheckOf(kChkAllowCopy), std::optional<int>(BST_INDETERMINATE));
  EXPECT_EQ(CheckOf(kChkAllowPrint), std::optional<int>(BST_UNCHECKED));
  EXPECT_EQ(CheckOf(kChkPDFResults), std::optional<int>(BST_UNCHECKED));  // no box state: shown clear

  // A click ticks a greyed box; the user cannot make one greyed again.
  Click(kChkAllowCopy);
  ASSERT_TRUE(uidriver::WaitUntil([&] { return CheckOf(kChkAllowCopy) == BST_CHECKED; }));
  Click(kChkAllowCopy);
  ASSERT_TRUE(uidriver::WaitUntil([&] { return CheckOf(kChkAllowCopy) == BST_UNCHECKED; }));
  Click(kChkAllowCopy);
  ASSERT_TRUE(uidriver::WaitUntil([&] { return CheckOf(kChkAllowCopy) == BST_CHECKED; }));
  Click("OK");
  ExpectExit();

  EXPECT_EQ(Stored(kPassword), "0");
  EXPECT_EQ(Stored(kAllowCopy), "1");
  EXPECT_EQ(Stored(kAllowPrint), "0");
  EXPECT_EQ(Stored(kViewPDF), "0");

  // What was stored shows again as it was left.
  Start();
  EXPECT_EQ(CheckOf(kChkAllowCopy), std::optional<int>(BST_CHECKED));
  EXPECT_EQ(CheckOf(kChkPassword), std::optional<int>(BST_UNCHECKED));
  Click("Cancel");
  ExpectExit();
}

TEST_F(SettingsDesk, AFailedWriteIsReportedAndTheWindowStaysOpenUntilOkSucceeds) {
  const std::string location = kScratch + "\\chosen";
  Store(kLocation, "old location");
  LockKey(kLocation);
  Store(kPassword, "0");
  LockKey(kPassword);
  Start();
  ASSERT_TRUE(uidriver::SetText(PathBox(), location));
  Click(kChkPassword);
  Click(kChkAllowCopy);

  // The location cannot be written: reported, and no flag is written after it.
  Click("OK");
  auto box = uidriver::AnswerMessageBox("settingsdesk", IDOK);
  ASSERT_TRUE(box);
  EXPECT_EQ(uidriver::Describe(*box), kCouldNotSave);
  EXPECT_TRUE(uidriver::WaitUntil([&] { return OnlyTheFormIsOpen(); }));
  EXPECT_EQ(Stored(kLocation), "old location");
  EXPECT_EQ(Stored(kAllowCopy), std::nullopt);

  // One flag cannot be written: reported, and the other three are written all the same.
  UnlockKey(kLocation);
  Click("OK");
  box = uidriver::AnswerMessageBox("settingsdesk", IDOK);
  ASSERT_TRUE(box);
  EXPECT_EQ(uidriver::Describe(*box), kCouldNotSave);
  EXPECT_TRUE(uidriver::WaitUntil([&] { return OnlyTheFormIsOpen(); }));
  EXPECT_EQ(Stored(kLocation), location);
  EXPECT_EQ(Stored(kPassword), "0");
  EXPECT_EQ(Stored(kAllowCopy), "1");
  EXPECT_EQ(Stored(kAllowPrint), "0");
  EXPECT_EQ(Stored(kViewPDF), "0");

  // Once every write succeeds, OK closes the window.
  UnlockKey(kPassword);
  Click("OK");
  ExpectExit();
  EXPECT_EQ(Stored(kPassword), "1");
}

TEST_F(SettingsDesk, BrowseShowsTheShellFolderDialogAndOnlyAChosenFolderReplacesTheText) {
  const std::string picked = kScratch + "\\picked";
  ASSERT_TRUE(CreateDirectoryA(picked.c_str(), nullptr));
  const std::string desktop = ShellName(CSIDL_DESKTOP);
  const std::string computer = ShellName(CSIDL_DRIVES);
  const std::vector<std::string> pickedInTree = {desktop, computer, ShellName("C:\\"), "folvarek-settingsdesk",
                                                 "picked"};
  Start();
  ASSERT_TRUE(uidriver::SetText(PathBox(), "typed by hand"));

  // Alt+B opens the dialog, owned by the window, with the title text and the new-folder button.
  uidriver::PostAccessKey(uidriver::FocusOf(form_), 'B');
  HWND dialog = uidriver::WaitForWindow("Browse for Folder");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), form_);
  EXPECT_NE(uidriver::FindControl(dialog, "Static", "Specify the location to save images"), nullptr);
  const HWND newFolder = uidriver::FindControl(dialog, "Button", "Make New Folder");
  EXPECT_TRUE(newFolder != nullptr && IsWindowVisible(newFolder));
  // Only file-system folders can be accepted: OK stays disabled on the computer itself.
  EXPECT_FALSE(uidriver::BrowseDialogChoose(dialog, {desktop, computer}));
  ASSERT_TRUE(uidriver::SelectTreeItem(uidriver::BrowseDialogTree(dialog), pickedInTree));
  uidriver::PressButton(dialog, IDCANCEL);
  ASSERT_TRUE(uidriver::WaitGone(dialog));
  EXPECT_TRUE(uidriver::WaitUntil([&] { return OnlyTheFormIsOpen(); }));
  EXPECT_EQ(uidriver::GetText(PathBox()), "typed by hand");

  Click("Browse");
  dialog = uidriver::WaitForWindow("Browse for Folder");
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(uidriver::BrowseDialogChoose(dialog, pickedInTree));
  ASSERT_TRUE(uidriver::WaitUntil([&] { return uidriver::GetText(PathBox()) == picked; }))
      << uidriver::GetText(PathBox());
  EXPECT_TRUE(OnlyTheFormIsOpen());

  Click("Cancel");
  ExpectExit();
  EXPECT_FALSE(TreeExists());
}

TEST_F(SettingsDesk, TheFocusStartsOnOkAndMovesInTheDesignedOrder) {
  Start();
  const std::vector<HWND> order = {Control("OK"),           Control("Cancel"),        Control(kChkPassword),
                                   Control(kChkAllowCopy),  Control(kChkAllowPrint),  Control("Browse"),
                                   PathBox(),               Control(kChkPDFResults),  Control("OK")};
  ASSERT_TRUE(FocusReaches(order.front()));
  for (std::size_t i = 1; i < order.size(); ++i) {
    PressKey(VK_TAB);
    EXPECT_TRUE(FocusReaches(order[i])) << "step " << i << ": focus on \"" << uidriver::GetText(uidriver::FocusOf(form_))
                                        << '"';
  }
  Click("Cancel");
  ExpectExit();
}

TEST_F(SettingsDesk, EnterAndEscapePressNeitherButtonButTheAccessKeysDo) {
  Start();
  ASSERT_TRUE(FocusReaches(Control("OK")));

  // Escape: the window stays. The Tab after it shows the key has been handled.
  PressKey(VK_ESCAPE);
  PressKey(VK_TAB);
  ASSERT_TRUE(FocusReaches(Control("Cancel")));
  EXPECT_TRUE(OnlyTheFormIsOpen());

  // Enter on a check box: no tick, and no OK. The Tab after it shows the key has been handled.
  PressKey(VK_TAB);
  ASSERT_TRUE(FocusReaches(Control(kChkPassword)));
  PressKey(VK_RETURN);
  PressKey(VK_TAB);
  ASSERT_TRUE(FocusReaches(Control(kChkAllowCopy)));
  EXPECT_EQ(CheckOf(kChkPassword), std::optional<int>(BST_UNCHECKED));
  EXPECT_TRUE(OnlyTheFormIsOpen());

  // Enter in the empty folder box: no OK, which would ask for a location. Typing after the key
  // shows it has been handled.
  for (int i = 0; i < 3; ++i) PressKey(VK_TAB);
  ASSERT_TRUE(FocusReaches(PathBox()));
  PressKey(VK_RETURN);
  PostMessageA(PathBox(), WM_CHAR, ' ', 1);
  ASSERT_TRUE(uidriver::WaitUntil([&] { return uidriver::GetText(PathBox()) == " "; }));
  EXPECT_TRUE(OnlyTheFormIsOpen());
  EXPECT_FALSE(TreeExists());

  // Alt+O presses OK (which asks for a location, the box holding a blank), Alt+C presses Cancel.
  uidriver::PostAccessKey(PathBox(), 'O');
  const auto box = uidriver::AnswerMessageBox("settingsdesk", IDOK);
  ASSERT_TRUE(box);
  EXPECT_EQ(uidriver::Describe(*box), kPleaseSpecify);
  ASSERT_TRUE(FocusReaches(PathBox()));
  uidriver::PostAccessKey(PathBox(), 'C');
  ExpectExit();
  EXPECT_FALSE(TreeExists());
}

}  // namespace
