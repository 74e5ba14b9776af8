#include "frmPassword.h"

#include <chrono>

#include "JobError.h"
#include "JobMessages.h"
#include "JobState.h"
#include "ModOnTOp.h"
#include "OutsideCommand.h"
#include "Pump.h"
#include "SettingText.h"

namespace {

constexpr char kClassName[] = "FolvarekPasswordWindow";
constexpr char kCaption[] = "Enter PDF file password";
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;
constexpr int kClientWidth = 4980;
constexpr int kClientHeight = 1530;

constexpr win::DesignRect kFrame{120, 120, 3495, 1260};

// The one password window on the thread, for its key preview.
frmPassword* g_shown = nullptr;

std::string TextOf(HWND control) {
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(control)) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

}  // namespace

frmPassword::frmPassword(HINSTANCE instance)
    : instance_(instance),
      tahoma_(win::PointFont("Tahoma", 8.25, scale_)),
      windowFont_(win::PointFont("MS Sans Serif", 8.25, scale_)) {}

frmPassword::~frmPassword() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

void frmPassword::Show() {
  win::RegisterWindowClass(instance_, kClassName, WindowProc);

  const RECT place = win::CentredWindow(kClientWidth, kClientHeight, kStyle, kExStyle, scale_);
  hwnd_ = CreateWindowExA(kExStyle, kClassName, kCaption, kStyle, place.left, place.top, place.right - place.left,
                          place.bottom - place.top, nullptr, nullptr, instance_, this);
  if (hwnd_ == nullptr) throw JobError(JobFailure::Other, "The password window could not be opened");
  CreateControls();
  Form_Load();

  g_shown = this;
  keyPreview_ = SetWindowsHookExA(WH_GETMESSAGE, KeyPreview, nullptr, GetCurrentThreadId());
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
  txtUserPass_ = win::PlaceControl(hwnd_, {kUserPassId, "Edit", "", WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL,
                                           WS_EX_CLIENTEDGE, scale_.Place({1560, 300, 1815, 285}, &kFrame), boxes});
  txtUserPassRepeat_ =
      win::PlaceControl(hwnd_, {kUserPassRepeatId, "Edit", "", WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL,
                                WS_EX_CLIENTEDGE, scale_.Place({1560, 700, 1815, 285}, &kFrame), boxes});
  win::PlaceControl(hwnd_, {kOKButtonId, "Button", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 0,
                            scale_.Place({3720, 240, 1095, 375}), tahoma});
  const HWND frame =
      win::PlaceControl(hwnd_, {kFrameId, "Button", "", BS_GROUPBOX, WS_EX_TRANSPARENT, scale_.Place(kFrame), boxes});
  win::PlaceControl(hwnd_, {kCancelButtonId, "Button", "Cancel", WS_TABSTOP | BS_PUSHBUTTON, 0,
                            scale_.Place({3720, 720, 1095, 375}), tahoma});
  win::PlaceControl(hwnd_, {kUserPassLabelId, "Static", "Password:", SS_LEFT, 0,
                            scale_.Place({120, 360, 1215, 255}, &kFrame), tahoma});
  win::PlaceControl(hwnd_, {kUserPassRepeatLabelId, "Static", "Confirm password:", SS_LEFT, 0,
                            scale_.Place({120, 730, 1455, 255}, &kFrame), tahoma});
  SetWindowPos(frame, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  for (const HWND box : {txtUserPass_, txtUserPassRepeat_}) {
    SendMessageA(box, EM_SETPASSWORDCHAR, '*', 0);
    SendMessageA(box, EM_SETLIMITTEXT, 0, 0);
  }
}

void frmPassword::Form_Load() {
  strPassword.clear();
  PassPending = true;
}

void frmPassword::OKButton_Click() {
  const std::string entry = TextOf(txtUserPass_);
  if (TextOf(txtUserPassRepeat_) != entry) {
    MessageBoxA(hwnd_, JobMessages::kPasswordsDiffer, JobMessages::kProgramTitle, MB_OK | MB_ICONHAND);
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
  if (keyPreview_ != nullptr) UnhookWindowsHookEx(keyPreview_);
  keyPreview_ = nullptr;
  g_shown = nullptr;
}

void frmPassword::Unload() { DestroyWindow(hwnd_); }

void frmPassword::Fail() noexcept {
  failure_ = std::current_exception();
  if (hwnd_ != nullptr) PostMessageA(hwnd_, WM_CLOSE, 0, 0);
}

LRESULT frmPassword::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
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
    case WM_NCDESTROY: hwnd_ = nullptr; break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK frmPassword::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<frmPassword*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = window;
  }
  auto* self = reinterpret_cast<frmPassword*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  try {
    return self->HandleMessage(window, message, wParam, lParam);
  } catch (...) {
    self->Fail();
    return 0;
  }
}

// Key presses reach the window before the control that has the focus: Escape closes the window
// whatever holds the focus; Tab, Enter (the default button) and the rest go through the dialog
// manager, as in any dialog.
bool frmPassword::PreviewKey(MSG message) {
  if (message.message == WM_KEYDOWN && Form_KeyDown(message.wParam)) return true;
  return IsDialogMessageA(hwnd_, &message) != FALSE;
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
      self->Fail();
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
