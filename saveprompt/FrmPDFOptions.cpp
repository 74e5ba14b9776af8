#include "FrmPDFOptions.h"

#include "CloseDown.h"
#include "Files.h"
#include "JobMessages.h"
#include "ModOnTOp.h"
#include "Text.h"

namespace {

constexpr wchar_t kClassName[] = L"FolvarekJobWindow";
// No border, no minimise or maximise box.
constexpr DWORD kStyle = WS_POPUP;
constexpr int kClientSize = 90;
// Reduced to this at the top edge of the screen as soon as the job starts.
constexpr int kVanishedSize = 10;

// Every control lies outside the 90 x 90 twips client area and is never seen in normal use.
constexpr win::DesignRect kFrame1Place{120, 720, 4815, 1575};

}  // namespace

// The folders are known before anything can fail, so every unload knows which scratch folder to clear.
FrmPDFOptions::FrmPDFOptions(HINSTANCE instance)
    : instance_(instance), font_(win::PointFont(L"MS Sans Serif", 8.25, scale_)) {
  job_.appFolder = win::Utf8(win::ProgramFolder());
  job_.scratchFolder = UserScratchFolder();
}

// Destroyed here, while the object still runs its unload.
FrmPDFOptions::~FrmPDFOptions() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

void FrmPDFOptions::Show() {
  win::RegisterWindowClass(instance_, kClassName);

  const RECT place = win::CentredWindow(kClientSize, kClientSize, kStyle, 0, scale_);
  if (!Create(instance_, kClassName, win::Wide(JobMessages::kJobWindowTitle), kStyle, 0, place)) {
    const std::string text = std::string(JobMessages::kCouldNotWrite) + "The job window could not be opened";
    win::ShowMessage(nullptr, text, JobMessages::kFailureTitle, MB_OK | MB_ICONHAND);
    PostQuitMessage(1);
    return;
  }
  CreateControls();
  Form_Load();
}

void FrmPDFOptions::Form_Load() noexcept { LoadMdl(); }

void FrmPDFOptions::CreateControls() {
  const HFONT font = font_.get();
  const auto place = [&](int id, const wchar_t* windowClass, const wchar_t* text, DWORD style, DWORD exStyle,
                         const win::DesignRect& design, const win::DesignRect* frame) {
    return win::PlaceControl(hwnd_, {id, windowClass, text, style, exStyle, scale_.Place(design, frame), font});
  };
  place(kText2, L"Edit", L"Text2", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, {240, 240, 1215, 285}, nullptr);
  place(kText1, L"Edit", L"Text1", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, {1560, 240, 1215, 285}, nullptr);
  const HWND openButton =
      place(kCommand1, L"Button", L"", WS_TABSTOP | BS_PUSHBUTTON | BS_ICON, 0, {120, 240, 570, 570}, &kFrame1Place);
  SendMessageW(openButton, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(LoadIconW(instance_, MAKEINTRESOURCEW(1))));
  place(kLabel1, L"Static", L"Open", SS_LEFT, 0, {840, 420, 615, 255}, &kFrame1Place);
  place(kLabel8, L"Static", L"Path :", SS_LEFT, 0, {120, 900, 615, 255}, &kFrame1Place);
  place(kLblPath, L"Static", L"", SS_LEFT | SS_NOPREFIX, 0, {840, 900, 3855, 255}, &kFrame1Place);
  place(kLabel6, L"Static", L"File :", SS_LEFT, 0, {120, 1200, 615, 255}, &kFrame1Place);
  place(kLabel5, L"Static", L"", SS_LEFT | SS_NOPREFIX, 0, {840, 1200, 3855, 255}, &kFrame1Place);
  const HWND frame = place(kFrame1, L"Button", L"", BS_GROUPBOX, WS_EX_TRANSPARENT, kFrame1Place, nullptr);
  SetWindowPos(frame, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  place(kLabel2, L"Static", L"Prompting for filename....", SS_LEFT, 0, {120, 2400, 4815, 255}, nullptr);
  place(kLabel4, L"Static", L"Choose one of the options below to proceed next", SS_LEFT, 0, {120, 2760, 4815, 255},
        nullptr);
}

void FrmPDFOptions::Vanish() {
  RECT rect{};
  GetWindowRect(hwnd_, &rect);
  SetWindowPos(hwnd_, nullptr, rect.left, 0, scale_.Px(kVanishedSize), scale_.Px(kVanishedSize),
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void FrmPDFOptions::Unload() noexcept {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

// The job window is the program's only lasting window: when it unloads, the job's scratch folder
// and staged files go, and the program ends.
void FrmPDFOptions::JobWindowUnloading() noexcept {
  CloseDown(job_.scratchFolder, job_.stagingFolder, job_.stampToolEnded);
  PostQuitMessage(0);
}

// The Open action of the picture button: the file named by Label5.
void FrmPDFOptions::Command1_Click() noexcept {
  OpenAction(hwnd_, win::Utf8(win::WindowText(GetDlgItem(hwnd_, kLabel5))));
}

std::optional<LRESULT> FrmPDFOptions::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CTLCOLORSTATIC: {
      // The two labels that receive the save folder and the target path are red.
      const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
      if (id != kLblPath && id != kLabel5) break;
      const HDC dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, RGB(255, 0, 0));
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == kCommand1 && HIWORD(wParam) == BN_CLICKED) {
        Command1_Click();
        return 0;
      }
      break;
    case WM_CLOSE:
      // Closing the hidden job window in the middle of the job would clear away the print job
      // under it; the job unloads the window itself when it ends.
      if (jobRunning_) return 0;
      break;
    case WM_DESTROY: JobWindowUnloading(); return 0;
  }
  return std::nullopt;
}
