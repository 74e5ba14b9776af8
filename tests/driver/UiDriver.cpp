#include "UiDriver.h"

#include <commctrl.h>

#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

namespace uidriver {

namespace {

constexpr auto kPoll = 20ms;
constexpr UINT kMessageTimeoutMs = 5000;
constexpr auto kIconWait = 3s;

template <typename Predicate>
bool PollUntil(std::chrono::milliseconds timeout, Predicate done) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kPoll);
  }
}

struct FindRequest {
  const std::string* title;
  const char* windowClass;
  HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM param) {
  auto* request = reinterpret_cast<FindRequest*>(param);
  if (!IsWindowVisible(window)) return TRUE;
  if (request->windowClass != nullptr && ClassOf(window) != request->windowClass) return TRUE;
  if (GetText(window) != *request->title) return TRUE;
  request->found = window;
  return FALSE;
}

std::string ButtonName(int id, HWND button) {
  switch (id) {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDABORT: return "Abort";
    case IDRETRY: return "Retry";
    case IDIGNORE: return "Ignore";
    case IDYES: return "Yes";
    case IDNO: return "No";
    default: return GetText(button);
  }
}

// 32 x 32 pixels of the screen at a control's top left corner, as 0x00RRGGBB values.
std::vector<DWORD> CaptureIcon(HWND control) {
  constexpr int kSize = 32;
  RECT rect{};
  GetWindowRect(control, &rect);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), kSize, -kSize, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<DWORD> pixels(kSize * kSize);
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  const HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, kSize, kSize, screen, rect.left, rect.top, SRCCOPY);
  GdiFlush();
  std::memcpy(pixels.data(), bits, pixels.size() * sizeof(DWORD));
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

std::vector<DWORD> RenderIcon(HICON icon, DWORD background) {
  constexpr int kSize = 32;
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), kSize, -kSize, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<DWORD> pixels(kSize * kSize, background);
  const HDC memory = CreateCompatibleDC(nullptr);
  void* bits = nullptr;
  const HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::memcpy(bits, pixels.data(), pixels.size() * sizeof(DWORD));
  const HGDIOBJ old = SelectObject(memory, bitmap);
  DrawIconEx(memory, 0, 0, icon, kSize, kSize, 0, nullptr, DI_NORMAL);
  GdiFlush();
  std::memcpy(pixels.data(), bits, pixels.size() * sizeof(DWORD));
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  return pixels;
}

// Icon handles do not cross processes, so the icon is recognised by its pixels on the screen:
// the system icon that, drawn on the same background, differs least from what is shown.
std::string MatchIcon(const std::vector<DWORD>& shown) {
  const std::pair<LPCSTR, const char*> known[] = {
      {IDI_HAND, "stop"}, {IDI_QUESTION, "question"}, {IDI_EXCLAMATION, "exclamation"}, {IDI_ASTERISK, "information"}};
  std::string best = "other";
  long long bestDistance = 0;
  for (const auto& [id, name] : known) {
    const std::vector<DWORD> drawn = RenderIcon(LoadIconA(nullptr, id), shown.front());
    long long distance = 0;
    for (std::size_t i = 0; i < shown.size(); ++i) {
      for (int shift : {0, 8, 16}) {
        distance +=
            std::abs(static_cast<int>((shown[i] >> shift) & 0xFF) - static_cast<int>((drawn[i] >> shift) & 0xFF));
      }
    }
    if (best == "other" || distance < bestDistance) {
      best = name;
      bestDistance = distance;
    }
  }
  // Far from every known icon (on average more than 16 levels a channel): something else.
  return bestDistance <= 32LL * 32 * 3 * 16 ? best : "other";
}

std::string IconName(HWND iconControl) {
  // The handle's value means nothing in this process, but an empty control has none at all.
  DWORD_PTR handle = 0;
  SendMessageTimeoutA(iconControl, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &handle);
  if (handle == 0) return "none";
  // A box seen as it opens may not have painted its icon yet: look again until it shows a known one.
  std::string name = "other";
  (void)PollUntil(kIconWait, [&] { return (name = MatchIcon(CaptureIcon(iconControl))) != "other"; });
  return name;
}

std::string EscapeLineBreaks(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

}  // namespace

HWND WaitForWindow(const std::string& title, std::chrono::milliseconds timeout, const char* windowClass) {
  FindRequest request{&title, windowClass, nullptr};
  PollUntil(timeout, [&] {
    EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&request));
    return request.found != nullptr;
  });
  return request.found;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  return PollUntil(timeout, done);
}

bool WaitGone(HWND window, std::chrono::milliseconds timeout) {
  return PollUntil(timeout, [&] { return !IsWindow(window) || !IsWindowVisible(window); });
}

std::string GetText(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &length)) {
    return {};
  }
  std::string text(length + 1, '\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                           kMessageTimeoutMs, &copied)) {
    return {};
  }
  text.resize(copied);
  return text;
}

bool SetText(HWND control, const std::string& text) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                             kMessageTimeoutMs, &result) != 0 &&
         result != 0;
}

std::string ClassOf(HWND window) {
  char name[256] = {};
  const int length = GetClassNameA(window, name, sizeof name);
  return std::string(name, length > 0 ? length : 0);
}

namespace {
struct ControlList {
  const char* windowClass;
  std::vector<HWND> found;
};
BOOL CALLBACK CollectControl(HWND control, LPARAM param) {
  auto* list = reinterpret_cast<ControlList*>(param);
  if (list->windowClass == nullptr || ClassOf(control) == list->windowClass) list->found.push_back(control);
  return TRUE;
}
std::string WithoutAccessMarks(const std::string& caption) {
  std::string out;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;
    out += caption[i];
  }
  return out;
}
}  // namespace

std::vector<HWND> Controls(HWND window, const char* windowClass) {
  ControlList list{windowClass, {}};
  EnumChildWindows(window, CollectControl, reinterpret_cast<LPARAM>(&list));
  return list.found;
}

HWND FindControl(HWND window, const char* windowClass, const std::string& caption) {
  for (HWND control : Controls(window, windowClass)) {
    if (WithoutAccessMarks(GetText(control)) == caption) return control;
  }
  return nullptr;
}

void Click(HWND control) { PostMessageA(control, BM_CLICK, 0, 0); }

void PressButton(HWND dialog, int controlId) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, controlId)));
}

void PostKey(HWND target, WPARAM virtualKey) {
  PostMessageA(target, WM_KEYDOWN, virtualKey, 1);
  PostMessageA(target, WM_KEYUP, virtualKey, static_cast<LPARAM>(0xC0000001u));
}

std::optional<MessageBoxInfo> ReadMessageBox(HWND box) {
  if (box == nullptr || ClassOf(box) != "#32770") return std::nullopt;
  MessageBoxInfo info;
  info.title = GetText(box);
  info.text = GetText(GetDlgItem(box, 0xFFFF));
  info.icon = "none";
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    const std::string cls = ClassOf(child);
    if (cls == "Button" && IsWindowVisible(child)) {
      info.buttons.push_back(ButtonName(GetDlgCtrlID(child), child));
    } else if (cls == "Static" && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
               IsWindowVisible(child)) {
      info.icon = IconName(child);
    }
  }
  return info;
}

std::string Describe(const MessageBoxInfo& box) {
  std::string buttons;
  for (const auto& name : box.buttons) buttons += (buttons.empty() ? "" : ",") + name;
  return EscapeLineBreaks(box.title) + " | " + EscapeLineBreaks(box.text) + " | " + buttons + " | " + box.icon;
}

std::optional<MessageBoxInfo> AnswerMessageBox(const std::string& title, int buttonId,
                                               std::chrono::milliseconds timeout) {
  const HWND box = WaitForWindow(title, timeout, "#32770");
  auto info = ReadMessageBox(box);
  if (info) PressButton(box, buttonId);
  return info;
}

namespace {
// The file name box is control 0x47C (a combo box holding an edit) in the explorer-style dialog.
HWND SaveDialogNameBox(HWND dialog) {
  const HWND nameBox = GetDlgItem(dialog, 0x47C);
  if (nameBox == nullptr) return nullptr;
  HWND edit = FindWindowExA(nameBox, nullptr, "Edit", nullptr);
  if (edit == nullptr) {
    const HWND inner = FindWindowExA(nameBox, nullptr, "ComboBox", nullptr);
    if (inner != nullptr) edit = FindWindowExA(inner, nullptr, "Edit", nullptr);
  }
  return edit != nullptr ? edit : nameBox;
}
}  // namespace

bool SaveDialogChoose(HWND dialog, const std::string& fileName) {
  const HWND nameBox = SaveDialogNameBox(dialog);
  if (nameBox == nullptr || !SetText(nameBox, fileName)) return false;
  PressButton(dialog, IDOK);
  return true;
}

std::optional<std::string> SaveDialogName(HWND dialog) {
  const HWND nameBox = SaveDialogNameBox(dialog);
  if (nameBox == nullptr) return std::nullopt;
  return GetText(nameBox);
}

void SaveDialogCancel(HWND dialog) { PressButton(dialog, IDCANCEL); }

Process::Process(Process&& other) noexcept
    : process_(std::exchange(other.process_, nullptr)), id_(std::exchange(other.id_, 0)) {}

Process& Process::operator=(Process&& other) noexcept {
  if (this != &other) {
    this->~Process();
    process_ = std::exchange(other.process_, nullptr);
    id_ = std::exchange(other.id_, 0);
  }
  return *this;
}

Process::~Process() {
  if (process_ == nullptr) return;
  if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 5000);
  }
  CloseHandle(process_);
}

std::optional<Process> Process::Start(const std::string& program, const std::string& arguments,
                                      const std::string& folder) {
  std::string commandLine = "\"" + program + "\"";
  if (!arguments.empty()) commandLine += " " + arguments;
  std::string workingFolder = folder;
  if (workingFolder.empty()) {
    const auto slash = program.find_last_of("\\/");
    if (slash != std::string::npos) workingFolder = program.substr(0, slash);
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &info)) {
    return std::nullopt;
  }
  CloseHandle(info.hThread);
  Process process;
  process.process_ = info.hProcess;
  process.id_ = info.dwProcessId;
  return process;
}

std::optional<DWORD> Process::WaitExit(std::chrono::milliseconds timeout) {
  if (process_ == nullptr) return std::nullopt;
  if (WaitForSingleObject(process_, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return code;
}

namespace {
struct OwnedWindows {
  DWORD processId;
  std::vector<HWND> windows;
};
BOOL CALLBACK CollectOwned(HWND window, LPARAM param) {
  auto* owned = reinterpret_cast<OwnedWindows*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == owned->processId && IsWindowVisible(window)) owned->windows.push_back(window);
  return TRUE;
}
}  // namespace

std::string WindowsPath(std::string buildPath) {
  if (!buildPath.empty() && buildPath.front() == '/') buildPath = "Z:" + buildPath;
  for (char& c : buildPath) {
    if (c == '/') c = '\\';
  }
  return buildPath;
}

ClassesDefault::ClassesDefault(std::string key) : key_(std::move(key)) {
  char data[1024] = {};
  LONG size = sizeof data;
  if (RegQueryValueA(HKEY_CLASSES_ROOT, key_.c_str(), data, &size) == ERROR_SUCCESS) saved_ = data;
}

ClassesDefault::~ClassesDefault() {
  if (saved_) {
    (void)Set(*saved_);
  } else {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, key_.c_str());
  }
}

bool ClassesDefault::Set(const std::string& value) const {
  return RegSetValueA(HKEY_CLASSES_ROOT, key_.c_str(), REG_SZ, value.c_str(), static_cast<DWORD>(value.size())) ==
         ERROR_SUCCESS;
}

std::vector<HWND> WindowsOf(DWORD processId) {
  OwnedWindows owned{processId, {}};
  EnumWindows(CollectOwned, reinterpret_cast<LPARAM>(&owned));
  return owned.windows;
}

std::optional<int> GetCheck(HWND box) {
  DWORD_PTR state = 0;
  if (!SendMessageTimeoutA(box, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &state)) return std::nullopt;
  return static_cast<int>(state);
}

bool SetCheck(HWND box, int wanted, std::chrono::milliseconds timeout) {
  for (int clicks = 0; clicks < 3; ++clicks) {
    const auto before = GetCheck(box);
    if (!before) return false;
    if (*before == wanted) return true;
    Click(box);
    if (!WaitUntil([&] { return GetCheck(box) != before; }, timeout)) return false;
  }
  return GetCheck(box) == wanted;
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

void PostAccessKey(HWND target, char key) {
  // Bit 29 says Alt is held; the target's TranslateMessage makes the WM_SYSCHAR that dialogs act on.
  PostMessageA(target, WM_SYSKEYDOWN, static_cast<WPARAM>(key), static_cast<LPARAM>(0x20000001));
  PostMessageA(target, WM_SYSKEYUP, static_cast<WPARAM>(key), static_cast<LPARAM>(0xE0000001u));
}

namespace {

// Memory lent in the process that owns a window, for messages that carry pointers.
class RemoteBuffer {
 public:
  RemoteBuffer(HWND window, std::size_t size) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (process_ != nullptr)
      address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;
  ~RemoteBuffer() {
    if (address_ != nullptr) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_ != nullptr) CloseHandle(process_);
  }

  [[nodiscard]] explicit operator bool() const { return address_ != nullptr; }
  [[nodiscard]] char* At(std::size_t offset) const { return static_cast<char*>(address_) + offset; }
  [[nodiscard]] bool Write(std::size_t offset, const void* data, std::size_t size) const {
    return WriteProcessMemory(process_, At(offset), data, size, nullptr) != 0;
  }
  [[nodiscard]] bool Read(std::size_t offset, void* data, std::size_t size) const {
    return ReadProcessMemory(process_, At(offset), data, size, nullptr) != 0;
  }

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
};

LRESULT SendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &result)) return 0;
  return static_cast<LRESULT>(result);
}

HTREEITEM NextTreeItem(HWND tree, UINT relation, HTREEITEM item) {
  return reinterpret_cast<HTREEITEM>(SendTo(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

std::optional<std::string> TreeItemText(HWND tree, HTREEITEM item) {
  constexpr std::size_t kTextMax = 520;
  const RemoteBuffer remote(tree, sizeof(TVITEMA) + kTextMax);
  if (!remote) return std::nullopt;
  TVITEMA request{};
  request.mask = TVIF_TEXT | TVIF_HANDLE;
  request.hItem = item;
  request.pszText = remote.At(sizeof(TVITEMA));
  request.cchTextMax = static_cast<int>(kTextMax);
  if (!remote.Write(0, &request, sizeof request)) return std::nullopt;
  if (SendTo(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(remote.At(0))) == 0) return std::nullopt;
  std::string text(kTextMax, '\0');
  if (!remote.Read(sizeof(TVITEMA), text.data(), text.size())) return std::nullopt;
  text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
  return text;
}

}  // namespace

bool SelectTreeItem(HWND tree, const std::vector<std::string>& captions) {
  HTREEITEM parent = nullptr;
  HTREEITEM item = nullptr;
  for (const std::string& caption : captions) {
    if (parent == nullptr) {
      item = NextTreeItem(tree, TVGN_ROOT, nullptr);
    } else {
      // The shell fills a folder's children only when the folder is expanded.
      SendTo(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parent));
      item = NextTreeItem(tree, TVGN_CHILD, parent);
    }
    while (item != nullptr && TreeItemText(tree, item) != caption) item = NextTreeItem(tree, TVGN_NEXT, item);
    if (item == nullptr) return false;
    parent = item;
  }
  return item != nullptr && SendTo(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)) != 0;
}

bool BrowseDialogChoose(HWND dialog, const std::vector<std::string>& captions) {
  const HWND tree = FindWindowExA(dialog, nullptr, WC_TREEVIEWA, nullptr);
  if (tree == nullptr || !SelectTreeItem(tree, captions)) return false;
  // A user cannot press OK while the dialog keeps it disabled (an item that is no folder).
  if (!IsWindowEnabled(GetDlgItem(dialog, IDOK))) return false;
  PressButton(dialog, IDOK);
  return true;
}

}  // namespace uidriver
