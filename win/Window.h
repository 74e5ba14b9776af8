// The base of the programs' windows: Windows' messages reach the C++ object that owns the window,
// and no exception crosses back into the window manager.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace win {

class Window {
 public:
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // The window while it exists; nullptr before it is created and once it has been destroyed.
  [[nodiscard]] HWND Handle() const noexcept { return hwnd_; }

 protected:
  Window() = default;
  virtual ~Window();

  // A window of a class registered with RegisterWindowClass; false when it could not be made.
  [[nodiscard]] bool Create(HINSTANCE instance, const wchar_t* className, const std::wstring& caption, DWORD style,
                            DWORD exStyle, const RECT& place);
  // A window the dialog manager runs (Tab, access keys, WM_NEXTDLGCTL), its controls made in code;
  // false when it could not be made. Its first message is WM_INITDIALOG.
  [[nodiscard]] bool CreateDialogWindow(DWORD style, DWORD exStyle);

  // A message for the window: its result, or nothing for the default handling. For a dialog
  // window the result is the dialog procedure's (TRUE when handled).
  virtual std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
  // A failure escaped OnMessage; the message is answered with 0.
  virtual void OnFailure() noexcept {}

  HWND hwnd_ = nullptr;

 private:
  friend void RegisterWindowClass(HINSTANCE, const wchar_t*);
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  std::optional<LRESULT> Route(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  bool dialog_ = false;
};

// Registers a window class for Window::Create, with the program's icon (resource 1) and the dialog
// face colour. Registering again (a window shown a second time) fails harmlessly.
void RegisterWindowClass(HINSTANCE instance, const wchar_t* className);

// A window's or control's text.
[[nodiscard]] std::wstring WindowText(HWND window);

// A message box with a UTF-8 text and title: the button pressed, or 0 when it could not be shown.
int ShowMessage(HWND owner, std::string_view text, std::string_view title, UINT type);

}  // namespace win
