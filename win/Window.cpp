#include "Window.h"

#include "Text.h"

namespace win {

// The object that handled the window's messages is gone by now: the window is let go of first, so
// its last messages get the default handling.
Window::~Window() {
  if (hwnd_ == nullptr) return;
  SetWindowLongPtrW(hwnd_, dialog_ ? DWLP_USER : GWLP_USERDATA, 0);
  DestroyWindow(hwnd_);
}

bool Window::Create(HINSTANCE instance, const wchar_t* className, const std::wstring& caption, DWORD style,
                    DWORD exStyle, const RECT& place) {
  return CreateWindowExW(exStyle, className, caption.c_str(), style, place.left, place.top, place.right - place.left,
                         place.bottom - place.top, nullptr, nullptr, instance, this) != nullptr;
}

bool Window::CreateDialogWindow(DWORD style, DWORD exStyle) {
  // The template holds only the window's frame: no menu, the dialog class, no title yet.
#pragma pack(push, 2)
  struct EmptyDialogTemplate {
    DLGTEMPLATE dialog;
    WORD menu;
    WORD windowClass;
    WCHAR title;
  };
#pragma pack(pop)
  dialog_ = true;
  alignas(DWORD) const EmptyDialogTemplate empty{{style, exStyle, 0, 0, 0, 0, 0}, 0, 0, 0};
  return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &empty.dialog, nullptr, DialogProc,
                                    reinterpret_cast<LPARAM>(this)) != nullptr;
}

std::optional<LRESULT> Window::Route(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  std::optional<LRESULT> result;
  try {
    result = OnMessage(message, wParam, lParam);
  } catch (...) {
    OnFailure();
    result = 0;
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd_, dialog_ ? DWLP_USER : GWLP_USERDATA, 0);
    hwnd_ = nullptr;
  }
  return result;
}

LRESULT CALLBACK Window::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = window;
  }
  auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  const std::optional<LRESULT> result = self->Route(message, wParam, lParam);
  return result ? *result : DefWindowProcW(window, message, wParam, lParam);
}

INT_PTR CALLBACK Window::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  // A dialog keeps GWLP_USERDATA free for the window's user; DWLP_USER is the dialog's own slot.
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<Window*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    self->hwnd_ = window;
  }
  auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(window, DWLP_USER));
  if (self == nullptr) return FALSE;
  return self->Route(message, wParam, lParam).value_or(FALSE);
}

void RegisterWindowClass(HINSTANCE instance, const wchar_t* className) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = Window::WindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = className;
  RegisterClassExW(&windowClass);
}

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

int ShowMessage(HWND owner, std::string_view text, std::string_view title, UINT type) {
  return MessageBoxW(owner, Wide(text).c_str(), Wide(title).c_str(), type);
}

}  // namespace win
