// The password window: the document password typed twice. Its result goes back to the job routine
// through strPassword and PassPending (JobState.h), not through a return value.
#pragma once

#include <windows.h>

#include <exception>
#include <optional>
#include <string>

#include "TwipsLayout.h"
#include "Unique.h"
#include "Window.h"

class frmPassword : public win::Window {
 public:
  // Control ids, also for the UI tests.
  static constexpr int kUserPassId = 101;
  static constexpr int kUserPassRepeatId = 102;
  static constexpr int kFrameId = 103;
  static constexpr int kUserPassLabelId = 104;
  static constexpr int kUserPassRepeatLabelId = 105;
  static constexpr int kOKButtonId = IDOK;
  static constexpr int kCancelButtonId = IDCANCEL;

  explicit frmPassword(HINSTANCE instance);
  ~frmPassword() override;

  // Loads the window (strPassword empty, PassPending True), shows it modeless and unowned, in front
  // of every other window, with the focus in the first box.
  void Show();
  // A failure met inside one of the window's handlers closed the window; the job routine's error
  // handler gets it here.
  void RethrowFailure() const;

 private:
  static LRESULT CALLBACK KeyPreview(int code, WPARAM removal, LPARAM message) noexcept;
  std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnFailure() noexcept override;
  bool PreviewKey(MSG message);

  void CreateControls();
  void Form_Load();
  void OKButton_Click();
  void CancelButton_Click();
  bool Form_KeyDown(WPARAM keyCode);
  void Form_Unload() noexcept;
  void Unload();

  HINSTANCE instance_;
  HWND txtUserPass_ = nullptr;
  HWND txtUserPassRepeat_ = nullptr;
  win::UniqueHook keyPreview_;
  win::WindowScale scale_;
  win::UniqueFont tahoma_;
  win::UniqueFont windowFont_;
  std::exception_ptr failure_;
};

// The job's password step: starts the outside command ShowPass, shows the password window and
// waits, pumping messages, until it has gone. Afterwards strPassword holds the confirmed entry, or
// empty text when the user cancelled. A window left unanswered for an hour ends the job.
void AskForPassword(HINSTANCE instance, const std::string& appFolder);
