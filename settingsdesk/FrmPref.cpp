#include "FrmPref.h"

#include <exception>
#include <initializer_list>
#include <utility>

#include "CaptionFit.h"
#include "ModBForFolder.h"
#include "ModReg.h"
#include "SaveFolder.h"
#include "Files.h"
#include "SettingText.h"
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
    {L"Button", L"Stop users printing from PDF files you create", kCheckBox, 0, FrmPref::Frame2, {240, 1130, 3615, 195}},
    {L"Button",
     L"Encrypt with 256-bit AES (PDF readers from 2010 on)",
     kCheckBox,
     0,
     FrmPref::Frame2,
     {240, 1505, 4215, 195}},
    {L"Button", L"&Browse", kChild | WS_TABSTOP | BS_PUSHBUTTON, 0, FrmPref::Frame3, {5700, 1060, 765, 285}},
    {L"Edit", L"", kChild | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, FrmPref::Frame3, {240, 1060, 5430, 285}},
    {L"Button", L"Automatically open PDF file after creation", kCheckBox, 0, FrmPref::Frame3, {240, 350, 3375, 195}},
    {L"Static",
     L"Default to this directory when creating PDF files:",
     kChild | SS_LEFT,
     0,
     FrmPref::Frame3,
     {240, 760, 3495, 255}},
    // The frames come last, so they lie under the controls they hold.
    {L"Button", L" Settings ", kChild | BS_GROUPBOX, 0, kWindow, {240, 240, 6615, 1695}},
    // A fourth row in the security frame: it grows by what the row needs, into the room above the buttons.
    {L"Button", L" Security ", kChild | BS_GROUPBOX, 0, kWindow, {240, 1995, 6615, 1890}},
};

constexpr int kClientWidth = 7065;
constexpr int kClientHeight = 4590;
constexpr int kClientLeft = 3150;
constexpr int kClientTop = 2130;
constexpr double kControlFontPoints = 8.25;

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
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      const int index = LOWORD(wParam) - kFirstControlId;
      switch (index) {
        case Command1_OK:
        case Command1_Cancel: Command1_Click(index); break;
        case CmdBFFolder: CmdBFFolder_Click(); break;
        case chkPassword:
        case chkAllowCopy:
        case chkAllowPrint:
        case chkKeyLength:
        case chkPDFResults: CheckBox_Click(static_cast<Control>(index)); break;
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
  }
  return true;
}

// Twips become pixels at the window's real resolution, so the window looks the same at any DPI.
void FrmPref::ApplyLayout(UINT dpi) {
  const win::WindowScale scale(dpi);
  win::UniqueFont controlFont = win::PointFont(L"Tahoma", kControlFontPoints, scale);
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
    const HFONT font = i == TxtPath ? windowFont.get() : controlFont.get();
    SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    // A caption too wide at this resolution widens its control, within its frame or the window.
    win::WidenToCaption(controls_[i], scale.Px(frame != nullptr ? frame->left + frame->width : kClientWidth));
  }
  // The old fonts go only after no control uses them any more.
  controlFont_ = std::move(controlFont);
  windowFont_ = std::move(windowFont);

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

void FrmPref::Form_Load() {
  SetWindowTextW(controls_[TxtPath], win::Wide(ModReg::GetSaveLocation()).c_str());
  SetCheck(chkAllowPrint, folvarek::CheckStateFromFlag(ModReg::GetAllowPrintOpt()));
  SetCheck(chkAllowCopy, folvarek::CheckStateFromFlag(ModReg::GetAllowCopyOpt()));
  SetCheck(chkPassword, folvarek::CheckStateFromFlag(ModReg::GetPasswordOpt()));
  SetCheck(chkPDFResults, folvarek::CheckStateFromFlag(ModReg::GetViewPDFOpt()));
  const bool aes256 = folvarek::KeyLengthBits(ModReg::GetKeyLengthOpt()) == 256;
  SetCheck(chkKeyLength, aes256 ? folvarek::CheckState::Ticked : folvarek::CheckState::Clear);
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

void FrmPref::CmdBFFolder_Click() {
  const std::string chosen = BrowseForFolder(hwnd_);
  if (!folvarek::TrimBlanks(chosen).empty()) SetWindowTextW(controls_[TxtPath], win::Wide(chosen).c_str());
}

void FrmPref::Command1_Click(int index) {
  try {
    if (index == Command1_Cancel) {
      Unload();
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

bool FrmPref::SaveChanges() {
  const bool password = ModReg::SetPasswordOpt(folvarek::FlagFromCheckState(CheckOf(chkPassword)));
  const bool copy = ModReg::SetAllowCopyOpt(folvarek::FlagFromCheckState(CheckOf(chkAllowCopy)));
  const bool print = ModReg::SetAllowPrintOpt(folvarek::FlagFromCheckState(CheckOf(chkAllowPrint)));
  const bool view = ModReg::SetViewPDFOpt(folvarek::FlagFromCheckState(CheckOf(chkPDFResults)));
  const bool keyLength = ModReg::SetKeyLengthOpt(CheckOf(chkKeyLength) == folvarek::CheckState::Ticked ? "256" : "128");
  return password && copy && print && view && keyLength;
}

std::string FrmPref::PathText() const {
  return win::Utf8(win::WindowText(controls_[TxtPath]));
}

folvarek::CheckState FrmPref::CheckOf(Control box) const {
  return static_cast<folvarek::CheckState>(SendMessageW(controls_[box], BM_GETCHECK, 0, 0));
}

void FrmPref::SetCheck(Control box, folvarek::CheckState state) {
  SendMessageW(controls_[box], BM_SETCHECK, static_cast<WPARAM>(state), 0);
}

void FrmPref::ShowMessage(const char* text) { win::ShowMessage(hwnd_, text, kMessageTitle, MB_OK); }
