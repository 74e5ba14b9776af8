#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <string>

#include "Captions.h"
#include "FrmPDFOptions.h"
#include "frmPassword.h"

// Each window is shown here while another thread waits for the window of its title, looks at it (or
// at the window of the class named), and then ends the showing with the row's message. The hidden
// job window lives, with its controls, while the job shows its first message: here that this test's
// user has no scratch folder.
TEST(Captions, FitTheirControlsAt96And144Dpi) {
  if (!testsupport::InChildAtEachDpi("Captions.*")) return;
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  FrmPDFOptions job(instance);
  const struct {
    std::function<void()> show;
    const char* title;
    const char* inspectedClass;
    UINT message;
    WPARAM command;
  } windows[] = {{[&] { AskForPassword(instance, "C:\\"); }, "Enter PDF file password", nullptr, WM_CLOSE, 0},
                 {[&] { job.Show(); }, "Folvarek - Options", "FolvarekJobWindow", WM_COMMAND, IDOK}};
  for (const auto& w : windows) {
    auto looked = std::async(std::launch::async, [&] {
      const HWND window = uidriver::WaitForWindow(w.title);
      const HWND inspected = w.inspectedClass != nullptr ? FindWindowA(w.inspectedClass, nullptr) : window;
      const std::string misfits = window != nullptr ? testsupport::CaptionsThatDoNotFit(inspected) : "no window\n";
      PostMessageA(window, w.message, w.command, 0);
      return misfits;
    });
    w.show();
    EXPECT_EQ(looked.get(), "") << w.title;
  }
}
