#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <string>

#include "Captions.h"
#include "FrmPDFOptions.h"
#include "ModOnTOp.h"
#include "frmPassword.h"

// Each window shows here while another thread looks at it and closes it; the hidden job window lives,
// with its controls, while the job shows its first message (here: the user has no scratch folder).
TEST(Captions, FitTheirControlsAt96And144Dpi) {
  if (!testsupport::InChildAtEachDpi("Captions.*")) return;
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  std::filesystem::remove_all(UserScratchFolder());
  FrmPDFOptions job(instance);
  for (const bool password : {true, false}) {
    auto looked = std::async(std::launch::async, [&] {
      const HWND window = uidriver::WaitForWindow(password ? "Enter PDF file password" : "Folvarek - Options");
      const HWND inspected = password ? window : FindWindowA("FolvarekJobWindow", nullptr);
      const std::string misfits = window != nullptr ? testsupport::CaptionsThatDoNotFit(inspected) : "no window\n";
      PostMessageA(window, password ? WM_CLOSE : WM_COMMAND, password ? 0 : IDOK, 0);
      return misfits;
    });
    password ? AskForPassword(instance, "C:\\") : job.Show();
    EXPECT_EQ(looked.get(), "") << (password ? "password window" : "job window");
  }
}
