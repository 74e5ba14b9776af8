// Plays the user for the end-to-end tests: finds our programs' windows by title, reads message
// boxes, types into controls and presses buttons, all from a separate process through ordinary
// window messages. Every wait is bounded.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace uidriver {

using namespace std::chrono_literals;
inline constexpr std::chrono::milliseconds kDefaultWait = 20s;

// A visible top-level window whose title is exactly `title` (and whose class is `windowClass`
// when given); nullptr when none appears in time.
[[nodiscard]] HWND WaitForWindow(const std::string& title, std::chrono::milliseconds timeout = kDefaultWait,
                                 const char* windowClass = nullptr);
// True once `done()` holds within the time; it is checked at once and then every few milliseconds.
[[nodiscard]] bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = kDefaultWait);
// True once the window is gone (destroyed or hidden) within the time.
[[nodiscard]] bool WaitGone(HWND window, std::chrono::milliseconds timeout = kDefaultWait);

// Text of a window or control, read with WM_GETTEXT (works across processes, also for edits).
[[nodiscard]] std::string GetText(HWND window);
[[nodiscard]] bool SetText(HWND control, const std::string& text);
[[nodiscard]] std::string ClassOf(HWND window);

// Descendant controls of a window, in the order the window lists them, optionally of one class.
[[nodiscard]] std::vector<HWND> Controls(HWND window, const char* windowClass = nullptr);
// The first descendant of the class whose text, with its "&" access marks removed, is `caption`.
[[nodiscard]] HWND FindControl(HWND window, const char* windowClass, const std::string& caption);
// A click on the control itself, as the mouse would give it (check boxes change their state).
void Click(HWND control);

// Clicks a button of a dialog the way the button itself would report it.
void PressButton(HWND dialog, int controlId);
// A key press delivered through the target's message queue (so a key preview sees it).
void PostKey(HWND target, WPARAM virtualKey);

struct MessageBoxInfo {
  std::string title;
  std::string text;
  std::vector<std::string> buttons;  // "OK", "Yes", "No", "Cancel", ... in control order
  std::string icon;                  // "stop", "question", "exclamation", "information" or "none"
};

// Reads a standard message box (dialog class #32770 with the text in control 0xFFFF).
[[nodiscard]] std::optional<MessageBoxInfo> ReadMessageBox(HWND box);
// One line for logs and word-for-word comparison: title | text | buttons | icon, with line breaks
// written as \r\n.
[[nodiscard]] std::string Describe(const MessageBoxInfo& box);
// Waits for a message box with this title, reads it, and answers it with the given button id.
[[nodiscard]] std::optional<MessageBoxInfo> AnswerMessageBox(const std::string& title, int buttonId,
                                                             std::chrono::milliseconds timeout = kDefaultWait);

// The common Save dialog: puts a name into its file name box and confirms it.
[[nodiscard]] bool SaveDialogChoose(HWND dialog, const std::string& fileName);
void SaveDialogCancel(HWND dialog);
// The text of the Save dialog's file name box; nullopt when the window is not a Save dialog.
[[nodiscard]] std::optional<std::string> SaveDialogName(HWND dialog);

// A program started for a scenario; killed when the owner goes out of scope while it still runs.
class Process {
 public:
  Process() = default;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  Process(Process&& other) noexcept;
  Process& operator=(Process&& other) noexcept;
  ~Process();

  // Starts `program` with `arguments` (already quoted as the program expects) in `folder`
  // (the program's own folder when empty). False when the process could not be created.
  [[nodiscard]] static std::optional<Process> Start(const std::string& program, const std::string& arguments = {},
                                                    const std::string& folder = {});
  // The exit code, or nullopt when the process still runs after the time.
  [[nodiscard]] std::optional<DWORD> WaitExit(std::chrono::milliseconds timeout = kDefaultWait);
  [[nodiscard]] DWORD Id() const { return id_; }

 private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
};

// A path the build hands over (a Unix path when cross-built) as Windows programs see it: Wine
// shows the root of the Unix file system as drive Z:.
[[nodiscard]] std::string WindowsPath(std::string buildPath);

// A default value under HKEY_CLASSES_ROOT (a file type's program, a protocol's command) set for a
// scenario and put back, or removed, when the owner goes: the prefix's own handlers would start
// programs on the host.
class ClassesDefault {
 public:
  explicit ClassesDefault(std::string key);
  ClassesDefault(const ClassesDefault&) = delete;
  ClassesDefault& operator=(const ClassesDefault&) = delete;
  ~ClassesDefault();
  [[nodiscard]] bool Set(const std::string& value) const;

 private:
  std::string key_;
  std::optional<std::string> saved_;
};

// Top-level visible windows that belong to a process.
[[nodiscard]] std::vector<HWND> WindowsOf(DWORD processId);

// The state of a check box (BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE); nullopt when the
// control does not answer.
[[nodiscard]] std::optional<int> GetCheck(HWND box);
// Clicks the check box until it shows `wanted`, waiting after each click until the box shows the
// click's effect (a posted click is overtaken by any message sent after it). A three-state box may
// need two clicks. False when the box does not answer or does not reach the state in time.
[[nodiscard]] bool SetCheck(HWND box, int wanted, std::chrono::milliseconds timeout = kDefaultWait);
// The control that has the keyboard focus in the thread owning `window`; nullptr when none.
[[nodiscard]] HWND FocusOf(HWND window);
// Alt+key as the keyboard delivers it, to the control that has the focus (so the dialog keys of
// the target's message loop see it). `key` is the letter, upper case.
void PostAccessKey(HWND target, char key);

// Tree views of another process. Their items' texts are read through a buffer lent in that process.
// Selects the item reached from the root along `captions` (the root's own text first), expanding
// each item on the way as a user clicking through the tree would; false when an item is missing.
[[nodiscard]] bool SelectTreeItem(HWND tree, const std::vector<std::string>& captions);

// The shell's Browse for Folder dialog: selects the folder reached along `captions` and presses OK;
// false (and OK not pressed) when the folder is not in the tree or the dialog does not let OK be
// pressed for it.
[[nodiscard]] bool BrowseDialogChoose(HWND dialog, const std::vector<std::string>& captions);

}  // namespace uidriver
