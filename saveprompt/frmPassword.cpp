#include "frmPassword.h"

#include <chrono>

#include "JobError.h"
#include "JobMessages.h"
#include "JobState.h"
#include "ModOnTOp.h"
#include "OutsideCommand.h"
#include "Pump.h"
#include "SettingText.h"
#include "Text.h"

namespace {

constexpr wchar_t kClassName[] = L"FolvarekPasswordWindow";
constexpr wchar_t kCaption[] = L"Enter PDF file password";
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;
constexpr int kClientWidth = 4980;
constexpr int kClientHeight = 1530;

constexpr win::DesignRect kFrame{120, 120, 3495, 1260};

// The one password window on the thread, for its key preview.
frmPassword* g_shown = nullptr;

std::string TextOf(HWND control) { return win::Utf8(win::WindowText(control)); }

}  // namespace

frmPassword::frmPassword(HINSTANCE instance)
    : instance_(instance),
      tahoma_(win::PointFont(L"Tahoma", 8.25, scale_)),
      windowFont_(win::PointFont(L"MS Sans Serif", 8.25, scale_)) {}

frmPassword::~frmPassword() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

void frmPassword::Show() {
  win::RegisterWindowClass(instance_, kClassName);

  const RECT place = win::CentredWindow(kClientWidth, kClientHeight, kStyle, kExStyle, scale_);
  if (!Create(instance_, kClassName, kCaption, kStyle, kExStyle, place)) throw JobError(JobFailure::Other, "The password window could not be opened");
  CreateControls();
  Form_Load();

  g_shown = this;
  keyPreview_.reset(SetWindowsHookExW(WH_GETMESSAGE, KeyPreview, nullptr, GetCurrentThreadId()));
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  BringToFront(hwnd_);
  SetFocus(txtUserPass_);
}

void frmPassword::RethrowFailure() const {
  if (failure_) std::rethrow_exception(failure_);
}

void frmPassword::CreateControls() {
  const HFONT tahoma = tahoma_.get();
  const HFONT boxes = windowFont_.get();
  // Created in tab order; the frame is then sent to the bottom so it never covers what it holds.
  txtUserPass_ = win::PlaceControl(hwnd_, {kUserPassId, L"Edit", L"", WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL,
                                           WS_EX_CLIENTEDGE, scale_.Place({1560, 300, 1815, 285}, &kFrame), boxes});
  txtUserPassRepeat_ =
      win::PlaceControl(hwnd_, {kUserPassRepeatId, L"Edit", L"", WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL,
                                WS_EX_CLIENTEDGE, scale_.Place({1560, 700, 1815, 285}, &kFrame), boxes});
  win::PlaceControl(hwnd_, {kOKButtonId, L"Button", L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 0,
                            scale_.Place({3720, 240, 1095, 375}), tahoma});
  const HWND frame =
      win::PlaceControl(hwnd_, {kFrameId, L"Button", L"", BS_GROUPBOX, WS_EX_TRANSPARENT, scale_.Place(kFrame), boxes});
  win::PlaceControl(hwnd_, {kCancelButtonId, L"Button", L"Cancel", WS_TABSTOP | BS_PUSHBUTTON, 0,
                            scale_.Place({3720, 720, 1095, 375}), tahoma});
  win::PlaceControl(hwnd_, {kUserPassLabelId, L"Static", L"Password:", SS_LEFT, 0,
                            scale_.Place({120, 360, 1215, 255}, &kFrame), tahoma});
  win::PlaceControl(hwnd_, {kUserPassRepeatLabelId, L"Static", L"Confirm password:", SS_LEFT, 0,
                            scale_.Place({120, 730, 1455, 255}, &kFrame), tahoma});
  SetWindowPos(frame, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  for (const HWND box : {txtUserPass_, txtUserPassRepeat_}) {
    SendMessageW(box, EM_SETPASSWORDCHAR, L'*', 0);
    SendMessageW(box, EM_SETLIMITTEXT, 0, 0);
  }
}

void frmPassword::Form_Load() {
  strPassword.clear();
  PassPending = true;
}

void frmPassword::OKButton_Click() {
  const std::string entry = TextOf(txtUserPass_);
  if (TextOf(txtUserPassRepeat_) != entry) {
    win::ShowMessage(hwnd_, JobMessages::kPasswordsDiffer, JobMessages::kProgramTitle, MB_OK | MB_ICONHAND);
    return;
  }
  strPassword = folvarek::TrimBlanks(entry);
  Unload();
}

void frmPassword::CancelButton_Click() {
  strPassword.clear();
  Unload();
}

bool frmPassword::Form_KeyDown(WPARAM keyCode) {
  if (keyCode != VK_ESCAPE) return false;
  Unload();
  return true;
}

void frmPassword::Form_Unload() noexcept {
  PassPending = false;
  keyPreview_.reset();
  g_shown = nullptr;
}

void frmPassword::Unload() { DestroyWindow(hwnd_); }

// A failure met inside one of the window's handlers closes the window; the job routine gets it.
void frmPassword::OnFailure() noexcept {
  failure_ = std::current_exception();
  if (hwnd_ != nullptr) PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

std::optional<LRESULT> frmPassword::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == kOKButtonId) OKButton_Click();
      if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == kCancelButtonId) CancelButton_Click();
      return 0;
    case DM_GETDEFID: return MAKELRESULT(kOKButtonId, DC_HASDEFID);
    case WM_KEYDOWN:
      if (Form_KeyDown(wParam)) return 0;
      break;
    case WM_DESTROY: Form_Unload(); return 0;
  }
  return std::nullopt;
}

// Key presses reach the window before the control that has the focus: Escape closes the window
// whatever holds the focus; Tab, Enter (the default button) and the rest go through the dialog
// manager, as in any dialog.
bool frmPassword::PreviewKey(MSG message) {
  if (message.message == WM_KEYDOWN && Form_KeyDown(message.wParam)) return true;
  return IsDialogMessageW(hwnd_, &message) != FALSE;
}

LRESULT CALLBACK frmPassword::KeyPreview(int code, WPARAM removal, LPARAM message) noexcept {
  auto* msg = reinterpret_cast<MSG*>(message);
  frmPassword* self = g_shown;
  if (code == HC_ACTION && removal == PM_REMOVE && self != nullptr && self->hwnd_ != nullptr &&
      msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST &&
      (msg->hwnd == self->hwnd_ || IsChild(self->hwnd_, msg->hwnd))) {
    try {
      if (self->PreviewKey(*msg)) msg->message = WM_NULL;
    } catch (...) {
      self->OnFailure();
      msg->message = WM_NULL;
    }
  }
  return CallNextHookEx(nullptr, code, removal, message);
}

void AskForPassword(HINSTANCE instance, const std::string& appFolder) {
  constexpr auto kAnswerTime = std::chrono::hours(1);
  StartOutsideCommand(appFolder, "ShowPass");
  frmPassword window(instance);
  window.Show();
  const auto answered = win::WaitFor([] { return !PassPending; }, kAnswerTime);
  window.RethrowFailure();
  if (answered == win::WaitResult::TimedOut) {
    throw JobError(JobFailure::Other, "The password window was left unanswered for an hour");
  }
}
