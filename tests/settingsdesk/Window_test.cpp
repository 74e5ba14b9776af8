// The window as designed: captions, places and sizes of the running program's controls (read from
// another process, as a user sees them), and their fonts (read in this process from a window made
// by the same code, since font handles mean nothing outside the process that made them).
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "FrmPref.h"
#include "Twips.h"
#include "UiDriver.h"

namespace {

const char* const kTitle = "Folvarek Settings";

// The design's table: twips relative to the parent (nullptr: the window, else the frame's caption).
struct Designed {
  const char* windowClass;
  const char* caption;
  const char* frame;
  int left, top, width, height;
};
const Designed kTable[] = {
    {"Button", " Settings ", nullptr, 240, 240, 6615, 1695},
    {"Button", "Automatically open PDF file after creation", " Settings ", 240, 350, 3375, 195},
    {"Static", "Default to this directory when creating PDF files:", " Settings ", 240, 760, 3495, 255},
    {"Edit", "", " Settings ", 240, 1060, 5430, 285},
    {"Button", "&Browse", " Settings ", 5700, 1060, 765, 285},
    {"Button", " Security ", nullptr, 240, 1995, 6615, 1695},
    {"Button", "Ask if you want to set a password when creating your PDF file", " Security ", 240, 370, 4815, 195},
    {"Button", "Stop users copying from PDF files you create", " Security ", 240, 755, 3615, 195},
    {"Button", "Stop users printing from PDF files you create", " Security ", 240, 1130, 3615, 195},
    {"Button", "&OK", nullptr, 4530, 4080, 1140, 375},
    {"Button", "&Cancel", nullptr, 5730, 4080, 1140, 375},
};

std::string ProgramPath() { return uidriver::WindowsPath(SETTINGSDESK_EXE); }

HWND Find(HWND form, const Designed& control) {
  for (HWND child : uidriver::Controls(form, control.windowClass)) {
    if (uidriver::GetText(child) == control.caption) return child;
  }
  return nullptr;
}

// A control's rectangle in the window's client coordinates.
RECT ClientRect(HWND form, HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// Anywhere: the window was moved, and its frame may be drawn at another resolution than its
// contents (a resolution change simulated under Wine does not redraw the title bar larger).
enum class Placement { Designed, Anywhere };

// `dpi` is the resolution the window's program runs at (another process's windows may report the
// caller's own resolution instead).
void ExpectDesignedLayout(HWND form, UINT dpi, Placement placement = Placement::Designed) {
  const double twipsPerPixel = folvarek::TwipsPerPixel(dpi);
  const auto px = [&](int twips) { return folvarek::TwipsToPixels(twips, twipsPerPixel); };

  EXPECT_EQ(uidriver::GetText(form), kTitle);
  const LONG style = GetWindowLongA(form, GWL_STYLE);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
  EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0) << "resizable or with min/max buttons";
  EXPECT_NE(GetWindowLongA(form, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME, 0) << "not a fixed dialog border";

  if (placement == Placement::Designed) {
    RECT client{};
    GetClientRect(form, &client);
    EXPECT_EQ(client.right, px(7065));
    EXPECT_EQ(client.bottom, px(4590));
    POINT origin{0, 0};
    ClientToScreen(form, &origin);
    EXPECT_EQ(origin.x, px(3150));
    EXPECT_EQ(origin.y, px(2130));
  }

  EXPECT_EQ(uidriver::Controls(form).size(), std::size(kTable)) << "controls that are not in the design";
  for (const Designed& control : kTable) {
    const HWND handle = Find(form, control);
    ASSERT_NE(handle, nullptr) << control.caption;
    RECT rect = ClientRect(form, handle);
    if (control.frame != nullptr) {
      const HWND frame = Find(form, Designed{"Button", control.frame, nullptr, 0, 0, 0, 0});
      ASSERT_NE(frame, nullptr) << control.frame;
      const RECT parent = ClientRect(form, frame);
      OffsetRect(&rect, -parent.left, -parent.top);
    }
    EXPECT_EQ(rect.left, px(control.left)) << control.caption;
    EXPECT_EQ(rect.top, px(control.top)) << control.caption;
    // A caption too wide for the fonts at hand widens its control (captions_test looks at that).
    EXPECT_GE(rect.right - rect.left, px(control.width)) << control.caption;
    EXPECT_EQ(rect.bottom - rect.top, px(control.height)) << control.caption;
    EXPECT_TRUE(IsWindowVisible(handle) && IsWindowEnabled(handle)) << control.caption;
  }
  // The check boxes can show the greyed state of a stored "2".
  for (const Designed& control : kTable) {
    const HWND handle = Find(form, control);
    const LONG kind = GetWindowLongA(handle, GWL_STYLE) & BS_TYPEMASK;
    if (std::string(control.windowClass) == "Button" && std::string(control.caption).find("PDF file") != std::string::npos) {
      EXPECT_EQ(kind, BS_3STATE) << control.caption;
    }
  }
}

// The screen resolution that programs started from now on see (Wine takes it from the user's
// settings); the old setting comes back at the end of the scope.
class ScopedResolution {
 public:
  explicit ScopedResolution(DWORD dpi) {
    DWORD size = sizeof old_;
    hadOld_ = RegGetValueA(HKEY_CURRENT_USER, kKey, kValue, RRF_RT_REG_DWORD, nullptr, &old_, &size) == ERROR_SUCCESS;
    EXPECT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kKey, kValue, REG_DWORD, &dpi, sizeof dpi), ERROR_SUCCESS);
  }
  ScopedResolution(const ScopedResolution&) = delete;
  ScopedResolution& operator=(const ScopedResolution&) = delete;
  ~ScopedResolution() {
    if (hadOld_) {
      RegSetKeyValueA(HKEY_CURRENT_USER, kKey, kValue, REG_DWORD, &old_, sizeof old_);
    } else {
      RegDeleteKeyValueA(HKEY_CURRENT_USER, kKey, kValue);
    }
  }

 private:
  static constexpr const char* kKey = "Control Panel\\Desktop";
  static constexpr const char* kValue = "LogPixels";
  DWORD old_ = 0;
  bool hadOld_ = false;
};

TEST(SettingsDeskWindow, TheRunningProgramShowsTheDesignedLayoutAtEveryResolution) {
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Folvarek");
  for (const DWORD dpi : {96u, 144u}) {
    const ScopedResolution resolution(dpi);
    auto process = uidriver::Process::Start(ProgramPath());
    ASSERT_TRUE(process);
    const HWND form = uidriver::WaitForWindow(kTitle);
    ASSERT_NE(form, nullptr);
    ExpectDesignedLayout(form, dpi);
    PostMessageA(form, WM_CLOSE, 0, 0);
    EXPECT_EQ(process->WaitExit(), std::optional<DWORD>(0)) << dpi;
  }
}

LOGFONTW FontOf(HWND control) {
  LOGFONTW font{};
  const auto handle = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  EXPECT_NE(handle, nullptr);
  GetObjectW(handle, sizeof font, &font);
  return font;
}

// The face the system really draws with, which differs from the one asked for when it is missing.
std::wstring FaceDrawn(HWND control) {
  const HDC dc = GetDC(control);
  const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  wchar_t face[LF_FACESIZE] = {};
  GetTextFaceW(dc, LF_FACESIZE, face);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return face;
}

void ExpectDesignedFonts(HWND window, UINT dpi) {
  const int height = folvarek::TwipsToPixels(8.25 * 20, folvarek::TwipsPerPixel(dpi));
  for (HWND control : uidriver::Controls(window)) {
    const std::string caption = uidriver::GetText(control);
    const LOGFONTW font = FontOf(control);
    if (uidriver::ClassOf(control) == "Edit") {
      NONCLIENTMETRICSW metrics{};
      metrics.cbSize = sizeof metrics;
      ASSERT_TRUE(SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi));
      EXPECT_STREQ(font.lfFaceName, metrics.lfMessageFont.lfFaceName);
      EXPECT_EQ(font.lfHeight, metrics.lfMessageFont.lfHeight);
      EXPECT_EQ(font.lfWeight, metrics.lfMessageFont.lfWeight);
      continue;
    }
    EXPECT_STREQ(font.lfFaceName, L"Tahoma") << caption;
    EXPECT_EQ(font.lfHeight, -height) << caption;
    EXPECT_EQ(font.lfWeight, FW_NORMAL) << caption;
    EXPECT_FALSE(font.lfItalic || font.lfUnderline || font.lfStrikeOut) << caption;
    EXPECT_EQ(FaceDrawn(control), L"Tahoma") << caption << ": Tahoma is not installed";
  }
}

TEST(SettingsDeskWindow, ControlsUseTahomaAndTheTextBoxTheWindowsDefaultFontAlsoAfterAResolutionChange) {
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Folvarek");
  {
    FrmPref form;
    ASSERT_TRUE(form.Show());
    const HWND window = form.Window();
    const UINT dpi = GetDpiForWindow(window);
    ExpectDesignedLayout(window, dpi);
    ExpectDesignedFonts(window, dpi);
    // The icon resource at the sizes the title bar and the task switcher use.
    for (const auto& [kind, metric] : {std::pair{ICON_BIG, SM_CXICON}, std::pair{ICON_SMALL, SM_CXSMICON}}) {
      ICONINFO info{};
      ASSERT_TRUE(GetIconInfo(reinterpret_cast<HICON>(SendMessageA(window, WM_GETICON, kind, 0)), &info)) << kind;
      BITMAP mask{};
      GetObjectA(info.hbmMask, sizeof mask, &mask);
      EXPECT_EQ(mask.bmWidth, GetSystemMetricsForDpi(metric, dpi)) << kind;
      DeleteObject(info.hbmMask);
      if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
    }

    // Moved to a screen of another resolution, the window lays itself out anew at the place given.
    const UINT newDpi = dpi * 3 / 2;
    RECT suggested{};
    GetWindowRect(window, &suggested);
    OffsetRect(&suggested, 40, 30);
    SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(newDpi, newDpi), reinterpret_cast<LPARAM>(&suggested));
    RECT moved{};
    GetWindowRect(window, &moved);
    EXPECT_EQ(moved.left, suggested.left);
    EXPECT_EQ(moved.top, suggested.top);
    ExpectDesignedLayout(window, newDpi, Placement::Anywhere);
    ExpectDesignedFonts(window, newDpi);
  }
  // The closed window asked this thread's loop to end; this test has no loop to end.
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
}

}  // namespace
