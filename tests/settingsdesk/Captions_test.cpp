// Every caption of both programs' windows fits its control at 96 and 144 DPI with this prefix's fonts:
// its extent in the control's font, plus a check box's glyph, within the client width. A program takes
// its resolution at start, so each runs in a child process, which looks at the windows in-process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <future>
#include <string>

#include "FrmPDFOptions.h"
#include "FrmPref.h"
#include "UiDriver.h"
#include "frmPassword.h"

namespace {

// The captions of `window`'s controls that do not fit, one line each.
std::string CaptionsThatDoNotFit(HWND window) {
  std::string misfits;
  for (const HWND control : uidriver::Controls(window)) {
    std::string caption = uidriver::GetText(control);
    std::erase(caption, '&');
    const std::string kind = uidriver::ClassOf(control);
    if (caption.empty() || (kind != "Button" && kind != "Static")) continue;
    const HDC dc = GetDC(control);
    SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32A(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
    ReleaseDC(control, dc);
    const bool checkBox = kind == "Button" && (GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK) == BS_3STATE;
    const int needed = extent.cx + (checkBox ? GetSystemMetricsForDpi(SM_CXMENUCHECK, GetDpiForWindow(control)) : 0);
    RECT client{};
    GetClientRect(control, &client);
    if (needed > client.right) {
      misfits += caption + ": " + std::to_string(needed) + " > " + std::to_string(client.right) + "\n";
    }
  }
  return misfits;
}

// While `show` runs here, another thread waits for a window titled `title`, looks at the window
// `inspected` gives for it, then lets `show` end by posting `command` to the titled window.
std::string WhileShown(const std::function<void()>& show, const char* title, const std::function<HWND(HWND)>& inspected,
                       UINT message, WPARAM command) {
  auto looked = std::async(std::launch::async, [&] {
    const HWND window = uidriver::WaitForWindow(title);
    const std::string misfits = window != nullptr ? CaptionsThatDoNotFit(inspected(window)) : "no window\n";
    PostMessageA(window, message, command, 0);
    return misfits;
  });
  show();
  return looked.get();
}

}  // namespace

TEST(Captions, FitTheirControlsAt96And144Dpi) {
  if (const char* dpi = std::getenv("FOLVAREK_CAPTIONS_DPI")) {
    ASSERT_EQ(GetDpiForSystem(), static_cast<UINT>(std::atoi(dpi)));
    FrmPref preferences;
    ASSERT_TRUE(preferences.Show());
    EXPECT_EQ(CaptionsThatDoNotFit(preferences.Window()), "") << "settingsdesk";
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    EXPECT_EQ(WhileShown([&] { AskForPassword(instance, "C:\\"); }, "Enter PDF file password",
                         [](HWND window) { return window; }, WM_CLOSE, 0),
              "")
        << "password window";
    // The hidden job window lives, with its controls, while the job shows its first message: here
    // that this test's folder has no scratch folder.
    FrmPDFOptions job(instance);
    EXPECT_EQ(WhileShown([&] { job.Show(); }, "Folvarek - Options",
                         [](HWND) { return FindWindowA("FolvarekJobWindow", nullptr); }, WM_COMMAND, IDOK),
              "")
        << "job window";
    return;
  }
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  for (const DWORD dpi : {96u, 144u}) {
    RegSetKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels", REG_DWORD, &dpi, sizeof dpi);
    SetEnvironmentVariableA("FOLVAREK_CAPTIONS_DPI", std::to_string(dpi).c_str());
    auto child = uidriver::Process::Start(self, "--gtest_filter=Captions.*");
    ASSERT_TRUE(child);
    EXPECT_EQ(child->WaitExit(uidriver::kDefaultWait * 3), std::optional<DWORD>(0)) << dpi;
  }
  RegDeleteKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels");
}
