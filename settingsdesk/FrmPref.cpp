#include "FrmPref.h"

#include <exception>
#include <initializer_list>
#include <utility>

#include "CaptionFit.h"
#include "Files.h"
#include "ModBForFolder.h"
#include "ModReg.h"
#include "NameTemplate.h"
#include "SaveFolder.h"
#include "SettingText.h"
#include "TemplateNow.h"
#include "Text.h"
#include "TwipsLayout.h"

namespace {

constexpr int kWindow = -1;
constexpr int kFirstControlId = 100;  // clear of IDOK and IDCANCEL, which Enter and Escape send

// Positions in twips, relative to the parent (the window or a frame).
struct ControlLayout {
  const wchar_t* windowClass;
  const wchar_t* caption;
  DWORD style;
  DWORD exStyle;
  int parent;
  win::DesignRect place;
};

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kCheckBox = kChild | WS_TABSTOP | BS_3STATE;
constexpr DWORD kNote = WS_CHILD | SS_LEFT | SS_NOPREFIX;
constexpr const wchar_t* kSetByPolicy = L"Set by your administrator.";

// In the order of FrmPref::Control: creation order is the order the focus moves in.
constexpr ControlLayout kLayout[FrmPref::ControlCount] = {
    {L"Button", L"&OK", kChild | WS_TABSTOP | BS_PUSHBUTTON, 0, kWindow, {4530, 4080, 1140, 375}},
    {L"Button", L"&Cancel", kChild | WS_TABSTOP | BS_PUSHBUTTON, 0, kWindow, {5730, 4080, 1140, 375}},
    {L"Button",
     L"Ask if you want to set a password when creating your PDF file",
     kCheckBox,
     0,
     FrmPref::Frame2,
     {240, 370, 4815, 195}},
    {L"Button", L"Stop users copying from PDF files you create", kCheckBox, 0, FrmPref::Frame2, {240, 755, 3615, 195}},
    {L"Button",
     L"Stop users printing from PDF files you create",
     kCheckBox,
     0,
     FrmPref::Frame2,
     {240, 1130, 3615, 195}},
    {L"Button",
     L"Encrypt with 256-bit AES (PDF readers from 2010 on)",
     kCheckBox,
     0,
     FrmPref::Frame2,
     {240, 1505, 4215, 195}},
    {L"Button", L"&Browse", kChild | WS_TABSTOP | BS_PUSHBUTTON, 0, FrmPref::Frame3, {5700, 1060, 765, 285}},
    {L"Edit", L"", kChild | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, FrmPref::Frame3, {240, 1060, 5430, 285}},
    {L"Button", L"Automatically open PDF file after creation", kCheckBox, 0, FrmPref::Frame3, {240, 350, 3375, 195}},
    {L"Button", L"Save without asking", kCheckBox, 0, FrmPref::Frame4, {240, 350, 3375, 195}},
    {L"Edit", L"", kChild | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, FrmPref::Frame4, {240, 1060, 5430, 285}},
    {L"Button", L"Bro&wse", kChild | WS_TABSTOP | BS_PUSHBUTTON, 0, FrmPref::Frame4, {5700, 1060, 765, 285}},
    {L"Edit", L"", kChild | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, FrmPref::Frame4, {240, 1875, 5430, 285}},
    {L"Static",
     L"Default to this directory when creating PDF files:",
     kChild | SS_LEFT,
     0,
     FrmPref::Frame3,
     {240, 760, 3495, 255}},
    {L"Static",
     L"Save to this directory (empty: the default directory above):",
     kChild | SS_LEFT | SS_NOPREFIX,
     0,
     FrmPref::Frame4,
     {240, 760, 4500, 255}},
    {L"Static",
     L"Name each PDF file by this template:",
     kChild | SS_LEFT | SS_NOPREFIX,
     0,
     FrmPref::Frame4,
     {240, 1590, 4500, 255}},
    // Two lines: the longest text about a template's problem wraps once.
    {L"Static", L"", kChild | SS_LEFT | SS_NOPREFIX, 0, FrmPref::Frame4, {240, 2400, 6135, 390}},
    // The notes, hidden until a policy sets their control's setting: under the folder box, and in
    // the gaps between the check boxes' rows, level with the captions.
    {L"Static", kSetByPolicy, kNote, 0, FrmPref::Frame3, {240, 1375, 5430, 180}},
    {L"Static", kSetByPolicy, kNote, 0, FrmPref::Frame2, {480, 565, 4575, 180}},
    {L"Static", kSetByPolicy, kNote, 0, FrmPref::Frame2, {480, 950, 3375, 180}},
    {L"Static", kSetByPolicy, kNote, 0, FrmPref::Frame2, {480, 1325, 3375, 180}},
    {L"Static", kSetByPolicy, kNote, 0, FrmPref::Frame2, {480, 1700, 3975, 180}},
    {L"Static", kSetByPolicy, kNote, 0, FrmPref::Frame3, {480, 545, 3135, 180}},
    {L"Static", kSetByPolicy, kNote, 0, FrmPref::Frame4, {480, 545, 3135, 180}},
    {L"Static", kSetByPolicy, kNote, 0, FrmPref::Frame4, {240, 1375, 5430, 180}},
    {L"Static", kSetByPolicy, kNote, 0, FrmPref::Frame4, {240, 2190, 5430, 180}},
    // The frames come last, so they lie under the controls they hold.
    {L"Button", L" Settings ", kChild | BS_GROUPBOX, 0, kWindow, {240, 240, 6615, 1695}},
    // A fourth row in the security frame, and a note under it: the frame grows by what they need,
    // into the room above the buttons.
    {L"Button", L" Security ", kChild | BS_GROUPBOX, 0, kWindow, {240, 1995, 6615, 1980}},
    // Saving without asking, below the buttons: the window grows by it and nothing designed moves.
    {L"Button", L" Save without asking ", kChild | BS_GROUPBOX, 0, kWindow, {240, 4545, 6615, 2910}},
};

constexpr int kClientWidth = 7065;
constexpr int kClientHeight = 7665;
constexpr int kClientLeft = 3150;
constexpr int kClientTop = 2130;
constexpr double kControlFontPoints = 8.25;
// Small enough for a line in the gap between two check boxes' rows at any resolution.
constexpr double kNoteFontPoints = 7.0;

// Each setting's control, its note and, for a folder, its Browse button; in the order the design
// stores the flags.
struct SettingControl {
  settings::Id setting;
  FrmPref::Control control;
  FrmPref::Control note;
  FrmPref::Control browse = FrmPref::ControlCount;
};
constexpr SettingControl kSettingControls[] = {
    {settings::Id::SaveLocation, FrmPref::TxtPath, FrmPref::noteLocation, FrmPref::CmdBFFolder},
    {settings::Id::Password, FrmPref::chkPassword, FrmPref::notePassword},
    {settings::Id::AllowCopy, FrmPref::chkAllowCopy, FrmPref::noteAllowCopy},
    {settings::Id::AllowPrint, FrmPref::chkAllowPrint, FrmPref::noteAllowPrint},
    {settings::Id::ViewPDF, FrmPref::chkPDFResults, FrmPref::notePDFResults},
    {settings::Id::KeyLength, FrmPref::chkKeyLength, FrmPref::noteKeyLength},
    {settings::Id::AutoSave, FrmPref::chkAutoSave, FrmPref::noteAutoSave},
    {settings::Id::AutoSavePath, FrmPref::TxtAutoSavePath, FrmPref::noteAutoSavePath, FrmPref::CmdBFAutoSave},
    {settings::Id::AutoSaveName, FrmPref::TxtAutoSaveName, FrmPref::noteAutoSaveName},
};

bool IsTextBox(int control) {
  return control == FrmPref::TxtPath || control == FrmPref::TxtAutoSavePath || control == FrmPref::TxtAutoSaveName;
}

// A flag as a box shows it (a stored "2" greyed); the key length ticked only for AES-256, saving
// without asking only for its exact "1", as the job reads them.
folvarek::CheckState BoxState(settings::Id setting, const std::string& text) {
  const settings::Setting& row = settings::Of(setting);
  if (row.kind == settings::Kind::Flag && row.reading != settings::Reading::OnText) {
    return folvarek::CheckStateFromFlag(text);
  }
  return settings::IsOn(setting, text) ? folvarek::CheckState::Ticked : folvarek::CheckState::Clear;
}

// The sample job of the example under the name template: printed now, by this user.
constexpr const char* kSampleTitle = "Quarterly report";

// Longer text would be stored but read back as empty (the settings are read through 260 characters).
constexpr WPARAM kLongestSetting = 259;

constexpr DWORD kWindowStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr DWORD kWindowExStyle = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;

constexpr const char* kMessageTitle = "settingsdesk";
constexpr const char* kCouldNotSave = "Could not Save Settings";

bool FolderExists(const std::string& path) { return win::FolderExists(win::Wide(path)); }

}  // namespace

// Destroyed here, while the object still runs its unload.
FrmPref::~FrmPref() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

// The dialog manager gives the window Tab and access-key handling; the controls are made in code.
bool FrmPref::Show() {
  if (!CreateDialogWindow(kWindowStyle, kWindowExStyle) || hwnd_ == nullptr) return false;
  ShowWindow(hwnd_, SW_SHOW);
  return true;
}

bool FrmPref::HandleDialogMessage(MSG& message) { return hwnd_ != nullptr && IsDialogMessageW(hwnd_, &message); }

// A failure inside a handler leaves the window as it was (the base answers the message with 0).
std::optional<LRESULT> FrmPref::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      if (!CreateControls()) {
        DestroyWindow(hwnd_);
        return FALSE;
      }
      SetWindowTextW(hwnd_, L"Folvarek Settings");
      const HINSTANCE instance = GetModuleHandleW(nullptr);
      const UINT dpi = GetDpiForWindow(hwnd_);
      for (const auto& [kind, metric] : {std::pair{ICON_BIG, SM_CXICON}, std::pair{ICON_SMALL, SM_CXSMICON}}) {
        const int size = GetSystemMetricsForDpi(metric, dpi);
        const HANDLE icon = LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, LR_SHARED);
        SendMessageW(hwnd_, WM_SETICON, kind, reinterpret_cast<LPARAM>(icon));
      }
      ApplyLayout(dpi);
      PlaceWindow(dpi);
      Form_Load();
      SetFocus(controls_[Command1_OK]);
      return FALSE;  // the focus is set
    }
    case WM_COMMAND: {
      const int index = LOWORD(wParam) - kFirstControlId;
      if (HIWORD(wParam) == EN_CHANGE && index == TxtAutoSaveName) UpdateExample();
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      switch (index) {
        case Command1_OK:
        case Command1_Cancel: Command1_Click(index); break;
        case CmdBFFolder: CmdBFFolder_Click(); break;
        case CmdBFAutoSave: BrowseInto(TxtAutoSavePath); break;
        case chkPassword:
        case chkAllowCopy:
        case chkAllowPrint:
        case chkKeyLength:
        case chkPDFResults:
        case chkAutoSave: CheckBox_Click(static_cast<Control>(index)); break;
        default: break;  // Enter and Escape: the window has no default or cancel button
      }
      return TRUE;
    }
    case WM_CLOSE: Unload(); return TRUE;
    case WM_ENDSESSION:
      if (wParam) Unload();
      return TRUE;
    case WM_DPICHANGED: {
      ApplyLayout(LOWORD(wParam));
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
      return TRUE;
    }
    case WM_DESTROY: PostQuitMessage(0); return TRUE;
    case WM_NCDESTROY: controls_.fill(nullptr); return TRUE;
    default: return FALSE;
  }
}

bool FrmPref::CreateControls() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  for (int i = 0; i < ControlCount; ++i) {
    const ControlLayout& c = kLayout[i];
    controls_[i] =
        CreateWindowExW(c.exStyle, c.windowClass, c.caption, c.style, 0, 0, 0, 0, hwnd_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + i)), instance, nullptr);
    if (controls_[i] == nullptr) return false;
    if (IsTextBox(i) && i != TxtPath) SendMessageW(controls_[i], EM_LIMITTEXT, kLongestSetting, 0);
  }
  return true;
}

// Twips become pixels at the window's real resolution, so the window looks the same at any DPI.
void FrmPref::ApplyLayout(UINT dpi) {
  const win::WindowScale scale(dpi);
  win::UniqueFont controlFont = win::PointFont(L"Tahoma", kControlFontPoints, scale);
  win::UniqueFont noteFont = win::PointFont(L"Tahoma", kNoteFontPoints, scale);
  // The window's default font is the one the system uses for message boxes and dialogs.
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  win::UniqueFont windowFont = SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)
                                   ? win::UniqueFont(CreateFontIndirectW(&metrics.lfMessageFont))
                                   : win::PointFont(L"Tahoma", kControlFontPoints, scale);

  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(windowFont.get()), FALSE);
  for (int i = 0; i < ControlCount; ++i) {
    const ControlLayout& c = kLayout[i];
    // A frame does not hold its controls as child windows; they sit on the window at its offset.
    const win::DesignRect* frame = c.parent != kWindow ? &kLayout[c.parent].place : nullptr;
    const RECT place = scale.Place(c.place, frame);
    SetWindowPos(controls_[i], nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    const bool note = i >= noteLocation && i <= noteAutoSaveName;
    const HFONT font = IsTextBox(i) ? windowFont.get() : note ? noteFont.get() : controlFont.get();
    SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    // A caption too wide at this resolution widens its control, within its frame or the window.
    win::WidenToCaption(controls_[i], scale.Px(frame != nullptr ? frame->left + frame->width : kClientWidth));
  }
  // The old fonts go only after no control uses them any more.
  controlFont_ = std::move(controlFont);
  windowFont_ = std::move(windowFont);
  noteFont_ = std::move(noteFont);

  const RECT frame = scale.Frame(kClientWidth, kClientHeight, kWindowStyle, kWindowExStyle);
  SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
}

// The client area's top left corner goes to its place on the screen.
void FrmPref::PlaceWindow(UINT dpi) {
  const win::WindowScale scale(dpi);
  const RECT frame = scale.Frame(0, 0, kWindowStyle, kWindowExStyle);
  SetWindowPos(hwnd_, nullptr, scale.Px(kClientLeft) + frame.left, scale.Px(kClientTop) + frame.top, 0, 0,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
}

// Each control shows its setting as it applies; one that a policy sets is locked, its note shown.
void FrmPref::Form_Load() {
  for (const SettingControl& c : kSettingControls) {
    const std::string text = ModReg::Read(c.setting);
    if (IsTextBox(c.control)) {
      SetWindowTextW(controls_[c.control], win::Wide(text).c_str());
    } else {
      SetCheck(c.control, BoxState(c.setting, text));
    }
    setByPolicy_[static_cast<std::size_t>(c.setting)] = ModReg::PolicyValue(c.setting).has_value();
    if (!SetByPolicy(c.setting)) continue;
    EnableWindow(controls_[c.control], FALSE);
    if (c.browse != ControlCount) EnableWindow(controls_[c.browse], FALSE);
    ShowWindow(controls_[c.note], SW_SHOWNA);
  }
  UpdateExample();
}

// However the window closes, a missing folder named in the text box is created; nothing is stored.
void FrmPref::Form_Unload() {
  const std::string typed = PathText();
  if (!FolderExists(folvarek::TrimBlanks(typed))) (void)CreateSaveFolder(hwnd_, typed);
}

void FrmPref::Unload() {
  Form_Unload();
  DestroyWindow(hwnd_);
}

void FrmPref::CmdBFFolder_Click() { BrowseInto(TxtPath); }

// The folder picker's choice into a folder box; a cancelled picker leaves the box as it was.
void FrmPref::BrowseInto(Control box) {
  const std::string chosen = BrowseForFolder(hwnd_);
  if (!folvarek::TrimBlanks(chosen).empty()) SetWindowTextW(controls_[box], win::Wide(chosen).c_str());
}

// The name a job titled kSampleTitle would get now, below the folder; an empty template is {title}.
void FrmPref::UpdateExample() {
  const std::string typed = TextOf(TxtAutoSaveName);
  const std::string templ = typed.empty() ? "{title}" : typed;
  std::string shown;
  if (const auto problem = folvarek::TemplateProblem(templ)) {
    shown = *problem;
  } else {
    shown = "Example: ";
    const auto parts = folvarek::ExpandTemplate(templ, win::TemplateValuesNow(kSampleTitle));
    for (std::size_t i = 0; i < parts->size(); ++i) shown += (i > 0 ? "\\" : "") + (*parts)[i];
    shown += ".pdf";
  }
  SetWindowTextW(controls_[lblExample], win::Wide(shown).c_str());
}

std::optional<std::string> FrmPref::NameProblem() const {
  if (SetByPolicy(settings::Id::AutoSaveName)) return std::nullopt;
  const std::string typed = TextOf(TxtAutoSaveName);
  return typed.empty() ? std::nullopt : folvarek::TemplateProblem(typed);
}

void FrmPref::Command1_Click(int index) {
  try {
    if (index == Command1_Cancel) {
      Unload();
      return;
    }
    // Refused before anything is stored, so a bad template leaves every setting as it was.
    if (const auto problem = NameProblem()) {
      ShowMessage(problem->c_str());
      SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(controls_[TxtAutoSaveName]), TRUE);
      return;
    }
    if (!CheckRemainingSettings()) return;
    if (!SaveChanges()) {
      ShowMessage(kCouldNotSave);
      return;
    }
    Unload();
  } catch (const std::exception&) {
    ShowMessage(kCouldNotSave);
  }
}

void FrmPref::CheckBox_Click(Control box) { SetCheck(box, folvarek::NextCheckState(CheckOf(box))); }

bool FrmPref::CheckRemainingSettings() {
  if (SetByPolicy(settings::Id::SaveLocation)) return true;
  const std::string typed = PathText();
  const std::string trimmed = folvarek::TrimBlanks(typed);
  if (trimmed.empty()) {
    ShowMessage("Please specify a location to save files");
    SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(controls_[TxtPath]), TRUE);
    return false;
  }
  if (!FolderExists(trimmed)) (void)CreateSaveFolder(hwnd_, typed);
  if (!ModReg::SetSaveLocation(typed)) {
    ShowMessage(kCouldNotSave);
    return false;
  }
  return true;
}

// A ticked box stores its setting's "on" text; a clear or greyed one its "off" text; a text box its
// text as typed (the default folder is stored by CheckRemainingSettings).
bool FrmPref::SaveChanges() {
  bool stored = true;
  for (const SettingControl& c : kSettingControls) {
    if (c.control == TxtPath || SetByPolicy(c.setting)) continue;
    if (IsTextBox(c.control)) {
      stored = ModReg::Write(c.setting, TextOf(c.control)) && stored;
      continue;
    }
    const settings::Setting& setting = settings::Of(c.setting);
    const bool ticked = CheckOf(c.control) == folvarek::CheckState::Ticked;
    stored = ModReg::Write(c.setting, ticked ? setting.on : setting.off) && stored;
  }
  return stored;
}

std::string FrmPref::TextOf(Control box) const { return win::Utf8(win::WindowText(controls_[box])); }

folvarek::CheckState FrmPref::CheckOf(Control box) const {
  return static_cast<folvarek::CheckState>(SendMessageW(controls_[box], BM_GETCHECK, 0, 0));
}

void FrmPref::SetCheck(Control box, folvarek::CheckState state) {
  SendMessageW(controls_[box], BM_SETCHECK, static_cast<WPARAM>(state), 0);
}

void FrmPref::ShowMessage(const char* text) { win::ShowMessage(hwnd_, text, kMessageTitle, MB_OK); }
