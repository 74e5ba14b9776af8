// Every caption of both programs' windows fits its control at 96 and at 144 DPI with the fonts this
// prefix has: the caption's extent in the control's own font, plus a check box's glyph, within the
// control's client width. A program takes its resolution when it starts, so each resolution runs
// in a child process of this test; the windows are looked at in that process, where their fonts are.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <future>
#include <string>

#include "FrmPDFOptions.h"
#include "FrmPref.h"
#include "UiDriver.h"
#include "frmPassword.h"

namespace {

constexpr char kChildDpi[] = "FOLVAREK_CAPTIONS_DPI";

// The captions of `window`'s controls that do not fit, one line each; empty when all fit.
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
    const LONG style = GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK;
    const bool checkBox = kind == "Button" && (style == BS_3STATE || style == BS_AUTOCHECKBOX || style == BS_CHECKBOX);
    const int glyph = checkBox ? GetSystemMetricsForDpi(SM_CXMENUCHECK, GetDpiForWindow(control)) : 0;
    RECT client{};
    GetClientRect(control, &client);
    if (extent.cx + glyph > client.right) {
      misfits += caption + ": " + std::to_string(extent.cx + glyph) + " > " + std::to_string(client.right) + "\n";
    }
  }
  return misfits;
}

// While this thread runs `show`, another waits for a window titled `title`, looks at the window
// that `inspected` names then, and lets `show` end through `answer`.
std::string WhileShown(const std::function<void()>& show, const std::string& title,
                       const std::function<HWND(HWND)>& inspected, const std::function<void(HWND)>& answer) {
  auto looked = std::async(std::launch::async, [&] {
    const HWND window = uidriver::WaitForWindow(title);
    if (window == nullptr) return "no window " + title + "\n";
    const std::string misfits = CaptionsThatDoNotFit(inspected(window));
    answer(window);
    return misfits;
  });
  show();
  return looked.get();
}

void ExpectAllCaptionsFit(UINT dpi) {
  ASSERT_EQ(GetDpiForSystem(), dpi);
  FrmPref preferences;
  ASSERT_TRUE(preferences.Show());
  EXPECT_EQ(CaptionsThatDoNotFit(preferences.Window()), "") << "settingsdesk at " << dpi;

  const HINSTANCE instance = GetModuleHandleA(nullptr);
  const auto itself = [](HWND window) { return window; };
  EXPECT_EQ(WhileShown([&] { AskForPassword(instance, "C:\\"); }, "Enter PDF file password", itself,
                       [](HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); }),
            "")
      << "password window at " << dpi;

  // The hidden job window, with all its controls, lives while the job shows its first message: here
  // that this test's folder has no scratch folder.
  FrmPDFOptions job(instance);
  EXPECT_EQ(WhileShown([&] { job.Show(); }, "Folvarek - Options",
                       [](HWND) { return FindWindowA("FolvarekJobWindow", nullptr); },
                       [](HWND box) { PostMessageA(box, WM_COMMAND, IDOK, 0); }),
            "")
      << "job window at " << dpi;
  MSG quit;
  while (PeekMessageA(&quit, nullptr, 0, 0, PM_REMOVE)) {
  }
}

}  // namespace

TEST(Captions, FitTheirControlsAt96And144Dpi) {
  if (const char* dpi = std::getenv(kChildDpi)) {
    ExpectAllCaptionsFit(static_cast<UINT>(std::atoi(dpi)));
    return;
  }
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  HKEY desktop = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_SET_VALUE, &desktop), ERROR_SUCCESS);
  for (const DWORD dpi : {96u, 144u}) {
    RegSetValueExA(desktop, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
    SetEnvironmentVariableA(kChildDpi, std::to_string(dpi).c_str());
    auto child = uidriver::Process::Start(self, "--gtest_filter=Captions.*");
    ASSERT_TRUE(child);
    EXPECT_EQ(child->WaitExit(uidriver::kDefaultWait * 3), std::optional<DWORD>(0)) << dpi;
  }
  SetEnvironmentVariableA(kChildDpi, nullptr);
  RegDeleteValueA(desktop, "LogPixels");
  RegCloseKey(desktop);
}
