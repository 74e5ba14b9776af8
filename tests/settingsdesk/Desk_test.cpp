// settingsdesk.exe played by the driver from this process against Wine's real registry and file
// system, every case from no settings tree and an empty scratch folder; and its layout against the
// designed twips, as a user sees it.
#include <windows.h>
#include <sddl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Twips.h"
#include "UiDriver.h"
#include "Unique.h"

using namespace std::chrono_literals;

namespace {

const std::string kScratch = "C:\\folvarek-settingsdesk";
// clang-format off
const char* const kKeys[] = {"SaveLocation\\Path", "Password\\Opt", "AllowCopy\\Opt", "AllowPrint\\Opt", "ViewPDF\\Opt", "KeyLength\\Opt",
    "AutoSave\\Opt", "AutoSave\\Path", "AutoSave\\Name"};
const char* const kBoxes[] = {"", "Ask if you want to set a password when creating your PDF file",
    "Stop users copying from PDF files you create", "Stop users printing from PDF files you create",
    "Automatically open PDF file after creation", "Encrypt with 256-bit AES (PDF readers from 2010 on)", "Save without asking"};
// clang-format on
enum { kLocation, kPassword, kCopy, kPrint, kView, kKeyLength, kAutoSave, kAutoSavePath, kAutoSaveName };
const std::string kPleaseSpecify = "settingsdesk | Please specify a location to save files | OK | none";
const std::string kCouldNotSave = "settingsdesk | Could not Save Settings | OK | none";
const char* const kPolicies = "SOFTWARE\\Policies\\Folvarek";

// A folder's name as the shell's folder tree shows it.
std::string ShellName(int folderId) {
  win::UniqueCoTaskMem<ITEMIDLIST> folder;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, folderId, folder.put()))) return {};
  SHFILEINFOA info{};
  SHGetFileInfoA(reinterpret_cast<const char*>(folder.get()), 0, &info, sizeof info, SHGFI_PIDL | SHGFI_DISPLAYNAME);
  return info.szDisplayName;
}

std::string KeyPath(int setting) { return std::string("SOFTWARE\\Folvarek\\") + kKeys[setting]; }

// The stored values (the design's six unless told), "-" for a missing one.
std::vector<std::string> Stored(int first = kLocation, int last = kKeyLength) {
  std::vector<std::string> values;
  for (int setting = first; setting <= last; ++setting) {
    char data[1024] = {};
    DWORD size = sizeof data;
    const bool found = RegGetValueA(HKEY_LOCAL_MACHINE, KeyPath(setting).c_str(), nullptr, RRF_RT_REG_SZ, nullptr, data,
                                    &size) == ERROR_SUCCESS;
    values.push_back(found ? data : "-");
  }
  return values;
}
const std::vector<std::string> kNothing(6, "-");

void Store(int setting, const std::string& text) {
  ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, KeyPath(setting).c_str(), nullptr, REG_SZ, text.c_str(),
                            static_cast<DWORD>(text.size() + 1)),
            ERROR_SUCCESS);
}

// Who may do what with a setting's key: locked, everyone may read it but not write it.
void Lock(int setting, bool locked) {
  win::UniqueHKey key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, KeyPath(setting).c_str(), 0, nullptr, 0, WRITE_DAC, nullptr, key.put(),
                            nullptr),
            0);
  win::UniqueLocal<void> security;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(locked ? "D:P(A;;KRSDWD;;;WD)" : "D:P(A;;KA;;;WD)",
                                                                   SDDL_REVISION_1, security.put(), nullptr));
  EXPECT_EQ(RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, security.get()), ERROR_SUCCESS);
}

// The design's table: twips relative to the parent (nullptr: the window, else the frame's caption).
struct Designed {
  const char* windowClass;
  const char* caption;
  const char* frame;
  int left, top, width, height;
};
// clang-format off
const Designed kTable[] = {
    {"Button", " Settings ", nullptr, 240, 240, 6615, 1695},
    {"Button", "Automatically open PDF file after creation", " Settings ", 240, 350, 3375, 195},
    {"Static", "Default to this directory when creating PDF files:", " Settings ", 240, 760, 3495, 255},
    {"Edit", "", " Settings ", 240, 1060, 5430, 285},
    {"Button", "&Browse", " Settings ", 5700, 1060, 765, 285},
    {"Button", " Security ", nullptr, 240, 1995, 6615, 1980},
    {"Button", "Ask if you want to set a password when creating your PDF file", " Security ", 240, 370, 4815, 195},
    {"Button", "Stop users copying from PDF files you create", " Security ", 240, 755, 3615, 195},
    {"Button", "Stop users printing from PDF files you create", " Security ", 240, 1130, 3615, 195},
    {"Button", "Encrypt with 256-bit AES (PDF readers from 2010 on)", " Security ", 240, 1505, 4215, 195},
    {"Button", "&OK", nullptr, 4530, 4080, 1140, 375},
    {"Button", "&Cancel", nullptr, 5730, 4080, 1140, 375},
    {"Button", " Save without asking ", nullptr, 240, 4545, 6615, 2910},
    {"Button", "Save without asking", " Save without asking ", 240, 350, 3375, 195},
    {"Static", "Save to this directory (empty: the default directory above):", " Save without asking ", 240, 760, 4500, 255},
    {"Button", "Bro&wse", " Save without asking ", 5700, 1060, 765, 285},
    {"Static", "Name each PDF file by this template:", " Save without asking ", 240, 1590, 4500, 255},
    {"Static", "Example: Quarterly report.pdf", " Save without asking ", 240, 2400, 6135, 390},
};
// clang-format on

RECT Place(HWND form, const char* windowClass, const char* caption) {
  RECT rect{};
  for (HWND child : uidriver::Controls(form, windowClass)) {
    if (uidriver::GetText(child) != caption) continue;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&rect), 2);
    break;  // the first: the design's folder box comes before the other text boxes
  }
  return rect;
}

void ExpectDesignedLayout(HWND form, UINT dpi) {
  const auto px = [&](int twips) { return folvarek::TwipsToPixels(twips, folvarek::TwipsPerPixel(dpi)); };
  RECT client{};
  GetClientRect(form, &client);
  EXPECT_EQ(client.right, px(7065));
  EXPECT_EQ(client.bottom, px(7665));
  const LONG style = GetWindowLongA(form, GWL_STYLE);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME),
            WS_CAPTION | WS_SYSMENU);
  const auto shown = uidriver::Controls(form);
  // The two text boxes of saving without asking are not told apart by caption.
  EXPECT_EQ(std::count_if(shown.begin(), shown.end(), IsWindowVisible), std::ssize(kTable) + 2) << "not in the design";
  for (const Designed& c : kTable) {
    RECT rect = Place(form, c.windowClass, c.caption);
    if (c.frame != nullptr) {
      const RECT frame = Place(form, "Button", c.frame);
      OffsetRect(&rect, -frame.left, -frame.top);
    }
    EXPECT_EQ(std::vector<LONG>({rect.left, rect.top, rect.bottom - rect.top}),
              std::vector<LONG>({px(c.left), px(c.top), px(c.height)}))
        << c.caption;
    // A caption too wide for the fonts at hand widens its control (Captions_test.cpp looks at that).
    EXPECT_GE(rect.right - rect.left, px(c.width)) << c.caption;
  }
}

class SettingsDesk : public ::testing::Test {
 protected:
  void SetUp() override {
    TearDown();
    ASSERT_TRUE(CreateDirectoryA(kScratch.c_str(), nullptr));
  }
  void TearDown() override {
    for (int setting = kLocation; setting <= kKeyLength; ++setting) {
      if (Stored()[setting] != "-") Lock(setting, false);
    }
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Folvarek");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kPolicies);
    std::filesystem::remove_all(kScratch);
  }

  void Start() {
    process_ = uidriver::Process::Start(uidriver::WindowsPath(SETTINGSDESK_EXE));
    ASSERT_TRUE(process_);
    form_ = uidriver::WaitForWindow("Folvarek Settings");
    ASSERT_NE(form_, nullptr);
  }
  HWND Control(const std::string& caption) const { return uidriver::FindControl(form_, nullptr, caption); }
  HWND Box(int setting) const {
    return setting == kLocation ? uidriver::Controls(form_, "Edit").at(0) : Control(kBoxes[setting]);
  }
  std::vector<int> Checks() const {
    std::vector<int> states;
    for (int setting = kPassword; setting <= kKeyLength; ++setting)
      states.push_back(uidriver::GetCheck(Box(setting)).value_or(-1));
    return states;
  }
  void Click(int setting, int expected) {
    uidriver::Click(Box(setting));
    EXPECT_TRUE(uidriver::WaitUntil([&] { return uidriver::GetCheck(Box(setting)) == expected; })) << kBoxes[setting];
  }
  void Type(const std::string& text) { ASSERT_TRUE(uidriver::SetText(Box(kLocation), text)); }
  bool FocusReaches(HWND control) const {
    return uidriver::WaitUntil([&] { return uidriver::FocusOf(form_) == control; });
  }
  bool OnlyTheForm() const {
    return uidriver::WaitUntil([&] { return uidriver::WindowsOf(process_->Id()) == std::vector<HWND>{form_}; });
  }
  // Presses OK and returns the message it brings.
  std::string OkMessage() {
    uidriver::Click(Control("OK"));
    const auto box = uidriver::AnswerMessageBox("settingsdesk", IDOK);
    return box ? uidriver::Describe(*box) : "<no message>";
  }
  void ExpectExit() { EXPECT_EQ(process_->WaitExit(), std::optional<DWORD>(0)); }

  std::optional<uidriver::Process> process_;
  HWND form_ = nullptr;
};

}  // namespace

TEST_F(SettingsDesk, StoredFlagsShowRoundedOrGreyedAndOkStoresWhatIsShown) {
  for (const auto& [setting, text] :
       {std::pair{kPassword, "2"}, {kCopy, "1.5"}, {kPrint, "0.5"}, {kView, "7"}, {kKeyLength, "256"}}) {
    Store(setting, text);
  }
  Start();
  EXPECT_EQ(Checks(),
            (std::vector<int>{BST_INDETERMINATE, BST_INDETERMINATE, BST_UNCHECKED, BST_UNCHECKED, BST_CHECKED}));
  // A click ticks a greyed box; the user cannot make one greyed again.
  Click(kCopy, BST_CHECKED);
  Click(kCopy, BST_UNCHECKED);
  Click(kCopy, BST_CHECKED);
  Click(kView, BST_CHECKED);
  Click(kKeyLength, BST_UNCHECKED);
  const std::string typed = "  " + kScratch + " ";  // stored with its blanks
  Type(typed);
  uidriver::Click(Control("OK"));
  ExpectExit();
  EXPECT_EQ(Stored(), (std::vector<std::string>{typed, "0", "1", "0", "1", "128"}));
}

// A setting a policy sets, empty text and a number too, shows the policy's value, locked, with its note
// right under it; OK leaves what is stored for it and stores the others (an empty folder is not asked for).
TEST_F(SettingsDesk, ASettingAPolicySetsIsShownLockedAndNeverStored) {
  const std::vector<std::string> stored = {"stored", "0", "1", "0", "0", "0"};  // each policy-set one differs
  for (int setting = kLocation; setting <= kKeyLength; ++setting) Store(setting, stored[setting]);
  for (const auto& [setting, type, data] : {std::tuple<int, DWORD, std::string>{kLocation, REG_SZ, {"", 1}},
                                            {kPassword, REG_DWORD, {"\1\0\0\0", 4}},
                                            {kCopy, REG_SZ, {"0", 2}},
                                            {kKeyLength, REG_SZ, {"256", 4}}}) {
    const std::string name = std::string(kKeys[setting]).substr(0, std::string(kKeys[setting]).find('\\'));
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, kPolicies, name.c_str(), type, data.data(), static_cast<DWORD>(data.size()));
  }
  Start();
  EXPECT_EQ(uidriver::GetText(Box(kLocation)), "");
  EXPECT_EQ(Checks(), (std::vector<int>{BST_CHECKED, BST_UNCHECKED, BST_UNCHECKED, BST_UNCHECKED, BST_CHECKED}));
  for (int setting = kLocation; setting <= kKeyLength; ++setting) {
    const bool locked = setting != kPrint && setting != kView;
    EXPECT_EQ(IsWindowEnabled(Box(setting)), !locked) << kKeys[setting];
    RECT box{};
    GetWindowRect(Box(setting), &box);
    POINT under{(box.left + box.right) / 2, box.bottom + 3};
    ScreenToClient(form_, &under);
    const HWND shown = ChildWindowFromPointEx(form_, under, CWP_SKIPINVISIBLE);
    EXPECT_EQ(uidriver::GetText(shown) == "Set by your administrator.", locked) << kKeys[setting];
  }
  EXPECT_FALSE(IsWindowEnabled(Control("Browse")));
  Click(kPrint, BST_CHECKED);
  uidriver::Click(Control("OK"));
  ExpectExit();
  EXPECT_EQ(Stored(), (std::vector<std::string>{"stored", "0", "1", "1", "0", "0"}));
}

// The example follows the template as it is typed; OK refuses a template the job could not use, with
// what is wrong with it and nothing stored, and stores the three settings once it is fixed.
TEST_F(SettingsDesk, SavingWithoutAskingIsStoredOnlyWithAUsableTemplate) {
  Store(kAutoSaveName, "{title} by {user}");
  Start();
  const auto edits = uidriver::Controls(form_, "Edit");
  char user[256] = {};
  DWORD size = sizeof user;
  ASSERT_TRUE(GetUserNameA(user, &size));
  const HWND example = Control("Example: Quarterly report by " + std::string(user) + ".pdf");
  ASSERT_NE(example, nullptr);
  Type(kScratch);
  Click(kAutoSave, BST_CHECKED);
  ASSERT_TRUE(uidriver::SetText(edits.at(1), "%USERPROFILE%\\PDF"));
  for (const auto& [templ, problem] :
       {std::pair<std::string, std::string>{"{title} {size}",
                                            "The name template has an unknown field {size}. Use {title}, "
                                            "{date}, {time}, {datetime:FORMAT}, {user}, {domain} or {computer}."},
        {"{title", "The name template has a { with no } to close it. Write {{ for a brace in the name."}}) {
    ASSERT_TRUE(uidriver::SetText(edits.at(2), templ));
    EXPECT_TRUE(uidriver::WaitUntil([&] { return uidriver::GetText(example) == problem; })) << templ;
    EXPECT_EQ(OkMessage(), "settingsdesk | " + problem + " | OK | none");
    EXPECT_TRUE(OnlyTheForm());
    EXPECT_EQ(Stored(kLocation, kAutoSaveName),
              (std::vector<std::string>{"-", "-", "-", "-", "-", "-", "-", "-", "{title} by {user}"}));
  }
  ASSERT_TRUE(uidriver::SetText(edits.at(2), "{{{title}}}"));
  EXPECT_TRUE(uidriver::WaitUntil([&] { return uidriver::GetText(example) == "Example: {Quarterly report}.pdf"; }));
  uidriver::Click(Control("OK"));
  ExpectExit();
  EXPECT_EQ(Stored(kAutoSave, kAutoSaveName), (std::vector<std::string>{"1", "%USERPROFILE%\\PDF", "{{{title}}}"}));
}

TEST_F(SettingsDesk, AFailedWriteIsReportedAndTheWindowStaysOpenUntilOkSucceeds) {
  Store(kLocation, "old");
  Lock(kLocation, true);
  Store(kPassword, "0");
  Lock(kPassword, true);
  Start();
  Type(kScratch);
  Click(kPassword, BST_CHECKED);
  Click(kCopy, BST_CHECKED);
  // The location cannot be written: no flag is written after it.
  EXPECT_EQ(OkMessage(), kCouldNotSave);
  EXPECT_TRUE(OnlyTheForm());
  EXPECT_EQ(Stored(), (std::vector<std::string>{"old", "0", "-", "-", "-", "-"}));
  // One flag cannot be written: the other three are written all the same.
  Lock(kLocation, false);
  EXPECT_EQ(OkMessage(), kCouldNotSave);
  EXPECT_TRUE(OnlyTheForm());
  EXPECT_EQ(Stored(), (std::vector<std::string>{kScratch, "0", "1", "0", "0", "128"}));
  Lock(kPassword, false);
  uidriver::Click(Control("OK"));
  ExpectExit();
  EXPECT_EQ(Stored()[kPassword], "1");
}

// All clear at first; the focus starts on OK and Tab moves it in the designed order; Escape, and
// Enter on a box or in the folder box, press no button (the Tab after each shows it was handled);
// the access keys do; without a location OK asks for one, and Cancel stores nothing.
TEST_F(SettingsDesk, TheKeyboardAsDesigned) {
  Start();
  EXPECT_EQ(Checks(), (std::vector<int>{BST_UNCHECKED, BST_UNCHECKED, BST_UNCHECKED, BST_UNCHECKED, BST_UNCHECKED}));
  const auto edits = uidriver::Controls(form_, "Edit");
  const auto buttons = uidriver::Controls(form_, "Button");
  const HWND browse = *std::ranges::find_if(buttons, [](HWND b) { return uidriver::GetText(b) == "Bro&wse"; });
  const HWND order[] = {Control("OK"),     Control("Cancel"),
                        Box(kPassword),    Box(kCopy),
                        Box(kPrint),       Box(kKeyLength),
                        Control("Browse"), Box(kLocation),
                        Box(kView),        Control("Save without asking"),
                        edits.at(1),       browse,
                        edits.at(2),       Control("OK")};
  const WPARAM before[] = {0, VK_ESCAPE, 0, VK_RETURN, 0, 0, 0,
                           0, VK_RETURN, 0, 0,         0, 0, VK_RETURN};  // pressed before the Tab
  ASSERT_TRUE(FocusReaches(order[0]));
  for (std::size_t i = 1; i < std::size(order); ++i) {
    if (before[i] != 0) uidriver::PostKey(order[i - 1], before[i]);
    uidriver::PostKey(order[i - 1], VK_TAB);
    EXPECT_TRUE(FocusReaches(order[i])) << "step " << i << ": on \"" << uidriver::GetText(uidriver::FocusOf(form_))
                                        << '"';
    EXPECT_TRUE(OnlyTheForm()) << "step " << i;
  }
  EXPECT_EQ(uidriver::GetCheck(Box(kPassword)), BST_UNCHECKED);
  // Without a location (none, or blanks only) OK asks for one and gives the folder box the focus.
  uidriver::PostAccessKey(order[std::size(order) - 1], 'O');
  const auto box = uidriver::AnswerMessageBox("settingsdesk", IDOK);
  EXPECT_EQ(box ? uidriver::Describe(*box) : "", kPleaseSpecify);
  ASSERT_TRUE(FocusReaches(Box(kLocation)));
  Type("    ");
  EXPECT_EQ(OkMessage(), kPleaseSpecify);
  ASSERT_TRUE(FocusReaches(Box(kLocation)));
  // Closing without OK creates a typed folder but stores nothing.
  Type(kScratch + "\\typed");
  Click(kPassword, BST_CHECKED);
  uidriver::PostAccessKey(Box(kLocation), 'C');
  ExpectExit();
  EXPECT_TRUE(std::filesystem::is_directory(kScratch + "\\typed"));
  EXPECT_EQ(Stored(), kNothing);
}

TEST_F(SettingsDesk, AtARaisedResolutionTheWindowShowsTheDesignedLayout) {
  // Wine takes the resolution of programs started from now on from the user's settings.
  const char* const key = "Control Panel\\Desktop";
  const DWORD raised = 144, normal = 96;
  ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, key, "LogPixels", REG_DWORD, &raised, sizeof raised), ERROR_SUCCESS);
  Start();
  RegSetKeyValueA(HKEY_CURRENT_USER, key, "LogPixels", REG_DWORD, &normal, sizeof normal);
  ExpectDesignedLayout(form_, raised);
  POINT origin{0, 0};
  ClientToScreen(form_, &origin);
  EXPECT_EQ(origin.x, folvarek::TwipsToPixels(3150, folvarek::TwipsPerPixel(raised)));
  EXPECT_EQ(origin.y, folvarek::TwipsToPixels(2130, folvarek::TwipsPerPixel(raised)));
  // The close box ends the program as Cancel does: a typed folder made, nothing stored.
  Type(kScratch + "\\typed");
  SendMessageTimeoutA(form_, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
  ExpectExit();
  EXPECT_TRUE(std::filesystem::is_directory(kScratch + "\\typed"));
  EXPECT_EQ(Stored(), kNothing);
}

TEST_F(SettingsDesk, BrowseReplacesTheTextOnlyWithAChosenFileSystemFolder) {
  ASSERT_TRUE(CreateDirectoryA((kScratch + "\\picked").c_str(), nullptr));
  const std::string desktop = ShellName(CSIDL_DESKTOP);
  const std::string computer = ShellName(CSIDL_DRIVES);
  SHFILEINFOA drive{};
  SHGetFileInfoA("C:\\", 0, &drive, sizeof drive, SHGFI_DISPLAYNAME);
  Start();
  Type("typed by hand");
  // Alt+B opens the dialog, owned by the window. OK stays disabled on the computer itself.
  uidriver::PostAccessKey(uidriver::FocusOf(form_), 'B');
  HWND dialog = uidriver::WaitForWindow("Browse for Folder");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), form_);
  EXPECT_FALSE(uidriver::BrowseDialogChoose(dialog, {desktop, computer}));
  uidriver::PressButton(dialog, IDCANCEL);
  ASSERT_TRUE(uidriver::WaitGone(dialog));
  EXPECT_EQ(uidriver::GetText(Box(kLocation)), "typed by hand");

  uidriver::Click(Control("Browse"));
  dialog = uidriver::WaitForWindow("Browse for Folder");
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(uidriver::BrowseDialogChoose(
      dialog, {desktop, computer, drive.szDisplayName, "folvarek-settingsdesk", "picked"}));
  EXPECT_TRUE(uidriver::WaitUntil([&] { return uidriver::GetText(Box(kLocation)) == kScratch + "\\picked"; }));
  // The session's end (sent, as the system sends it) stores nothing; a session that goes on leaves the window.
  SendMessageTimeoutA(form_, WM_ENDSESSION, FALSE, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
  EXPECT_TRUE(IsWindow(form_));
  SendMessageTimeoutA(form_, WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
  ExpectExit();
  EXPECT_EQ(Stored(), kNothing);
}
