// Every caption of a program's windows fits its control at 96 and 144 DPI with this prefix's fonts:
// its extent in the control's font, plus a check box's glyph, within the client width. A program
// takes its resolution at start, so the test runs again in a child process at each resolution.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "UiDriver.h"

namespace testsupport {

// The captions of `window`'s controls that do not fit, one line each.
inline std::string CaptionsThatDoNotFit(HWND window) {
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
    if (needed > client.right)
      misfits += caption + ": " + std::to_string(needed) + " > " + std::to_string(client.right) + "\n";
  }
  return misfits;
}

// In the test program itself: runs the tests `filter` names again in a child at 96, then 144 DPI,
// and returns false. In such a child: true, and the caller looks at its windows.
inline bool InChildAtEachDpi(const char* filter) {
  if (const char* dpi = std::getenv("FOLVAREK_CAPTIONS_DPI")) {
    EXPECT_EQ(GetDpiForSystem(), static_cast<UINT>(std::atoi(dpi)));
    return GetDpiForSystem() == static_cast<UINT>(std::atoi(dpi));
  }
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  for (const DWORD dpi : {96u, 144u}) {
    RegSetKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels", REG_DWORD, &dpi, sizeof dpi);
    SetEnvironmentVariableA("FOLVAREK_CAPTIONS_DPI", std::to_string(dpi).c_str());
    auto child = uidriver::Process::Start(self, std::string("--gtest_filter=") + filter);
    EXPECT_EQ(child ? child->WaitExit(uidriver::kDefaultWait * 3) : std::nullopt, std::optional<DWORD>(0)) << dpi;
  }
  SetEnvironmentVariableA("FOLVAREK_CAPTIONS_DPI", nullptr);
  RegDeleteKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels");
  return false;
}

}  // namespace testsupport
