// uidriver: the UI driver as a command, for scripts that play the user (the demo, the suite on the
// installed product), and that hold what a scenario needs in use. One action per run; every wait is
// bounded, but a hold's, which ends with the caller.
#include <windows.h>
#include <sddl.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "Text.h"
#include "UiDriver.h"
#include "Unique.h"

namespace {

constexpr const char* kUsage =
    "usage: uidriver [--timeout MS] ACTION ...\n"
    "  wait TITLE                 wait for a window with this title\n"
    "  gone TITLE                 wait until no window has this title\n"
    "  box TITLE OK|Cancel|Yes|No read a message box (printed as title | text | buttons | icon), answer it\n"
    "  type TITLE N TEXT          put TEXT into the N-th edit box (from 1) of the window\n"
    "  click TITLE CAPTION        click the button with this caption (access marks left out)\n"
    "  check TITLE CAPTION 0|1    click the check box until it is clear (0) or ticked (1)\n"
    "  save TITLE NAME            choose NAME in a Save dialog\n"
    "  name TITLE                 print the file name a Save dialog shows\n"
    "  cancel TITLE               cancel a dialog\n"
    "  run PROGRAM [ARGS...]      run PROGRAM with ARGS (joined as given) and print its exit code whole\n"
    "  hold FILE                  open FILE unshared, print \"held\", keep it open until the input ends\n"
    "  lock-key KEY               make HKLM\\KEY (made when missing) refuse to list its subkeys, so\n"
    "                             deleting a tree holding it fails; unlock-key KEY lifts that\n";

int Fail(const std::string& message) {
  std::fprintf(stderr, "uidriver: %s\n", message.c_str());
  return 1;
}

// Wine gives a shell only the low byte of a program's exit code (3010 arrives as 194).
int Run(const std::string& program, const std::vector<std::string>& args, std::chrono::milliseconds timeout) {
  std::string line;
  for (const auto& arg : args) line += (line.empty() ? "" : " ") + arg;
  auto process = uidriver::Process::Start(program, line);
  if (!process) return Fail("cannot start " + program);
  const auto code = process->WaitExit(timeout);
  if (!code) return Fail(program + " still runs");
  std::printf("%lu\n", *code);
  return 0;
}

// Keeps FILE open without sharing (as a program using it would) until the caller closes our input
// or ends us.
int Hold(const std::string& file) {
  const win::UniqueFile held(
      CreateFileW(win::Wide(file).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!held) {
    const DWORD error = GetLastError();
    return Fail("cannot open " + file + ": " + win::Utf8(win::ErrorText(error)));
  }
  std::puts("held");
  std::fflush(stdout);
  char buffer[64];
  DWORD read = 0;
  while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &read, nullptr) && read > 0) {}
  return 0;
}

// Wine 8 ignores a key's denial of DELETE alone, but RegDeleteTree lists the subkeys of every key it
// deletes: a key that refuses that makes the deletion of any tree holding it fail (access denied).
int LockKey(const std::string& key, bool locked) {
  win::UniqueHKey handle;
  win::UniqueLocal<void> descriptor;
  LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, win::Wide(key).c_str(), 0, nullptr, 0, WRITE_DAC, nullptr,
                                   handle.put(), nullptr);
  if (status == ERROR_SUCCESS &&
      !ConvertStringSecurityDescriptorToSecurityDescriptorW(locked ? L"D:(D;;0x8;;;WD)(A;;KA;;;WD)" : L"D:(A;;KA;;;WD)",
                                                            SDDL_REVISION_1, descriptor.put(), nullptr)) {
    status = static_cast<LSTATUS>(GetLastError());
  }
  if (status == ERROR_SUCCESS) status = RegSetKeySecurity(handle.get(), DACL_SECURITY_INFORMATION, descriptor.get());
  return status == ERROR_SUCCESS ? 0 : Fail("cannot set the access to " + key + ": " + win::Utf8(win::ErrorText(status)));
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  auto timeout = uidriver::kDefaultWait;
  if (args.size() >= 2 && args[0] == "--timeout") {
    timeout = std::chrono::milliseconds(std::strtol(args[1].c_str(), nullptr, 10));
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.size() < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string& action = args[0];
  const std::string& title = args[1];
  if (action == "run") return Run(args[1], std::vector<std::string>(args.begin() + 2, args.end()), timeout);
  if (action == "hold" && args.size() == 2) return Hold(args[1]);
  if ((action == "lock-key" || action == "unlock-key") && args.size() == 2)
    return LockKey(args[1], action == "lock-key");

  if (action == "gone") {
    const HWND window = uidriver::WaitForWindow(title, std::chrono::milliseconds(0));
    return window == nullptr || uidriver::WaitGone(window, timeout) ? 0 : Fail("still open: " + title);
  }
  const HWND window = uidriver::WaitForWindow(title, timeout);
  if (window == nullptr) return Fail("no window titled \"" + title + "\"");

  if (action == "wait" && args.size() == 2) return 0;
  if (action == "box" && args.size() == 3) {
    static const std::map<std::string, int> buttons = {
        {"OK", IDOK}, {"Cancel", IDCANCEL}, {"Yes", IDYES}, {"No", IDNO}};
    const auto button = buttons.find(args[2]);
    const auto box = uidriver::ReadMessageBox(window);
    if (button == buttons.end() || !box) return Fail("not a message box or no such button");
    std::printf("%s\n", uidriver::Describe(*box).c_str());
    uidriver::PressButton(window, button->second);
    return uidriver::WaitGone(window, timeout) ? 0 : Fail("the message box stayed open");
  }
  if (action == "type" && args.size() == 4) {
    const auto edits = uidriver::Controls(window, "Edit");
    const auto index = std::strtoul(args[2].c_str(), nullptr, 10);
    if (index < 1 || index > edits.size()) return Fail("no edit box " + args[2]);
    return uidriver::SetText(edits[index - 1], args[3]) ? 0 : Fail("could not set the text");
  }
  if (action == "click" && args.size() == 3) {
    const HWND button = uidriver::FindControl(window, "Button", args[2]);
    if (button == nullptr) return Fail("no button \"" + args[2] + "\"");
    uidriver::Click(button);
    return 0;
  }
  if (action == "check" && args.size() == 4) {
    const HWND box = uidriver::FindControl(window, "Button", args[2]);
    if (box == nullptr) return Fail("no check box \"" + args[2] + "\"");
    const int wanted = args[3] == "1" ? BST_CHECKED : BST_UNCHECKED;
    if (uidriver::SetCheck(box, wanted)) return 0;
    return Fail("check box \"" + args[2] + "\" did not reach the state");
  }
  if (action == "save" && args.size() == 3) {
    if (!uidriver::SaveDialogChoose(window, args[2])) return Fail("not a Save dialog");
    return uidriver::WaitGone(window, timeout) ? 0 : Fail("the Save dialog stayed open");
  }
  if (action == "name" && args.size() == 2) {
    const auto name = uidriver::SaveDialogName(window);
    if (!name) return Fail("not a Save dialog");
    std::printf("%s\n", name->c_str());
    return 0;
  }
  if (action == "cancel" && args.size() == 2) {
    uidriver::PressButton(window, IDCANCEL);
    return uidriver::WaitGone(window, timeout) ? 0 : Fail("the dialog stayed open");
  }
  std::fputs(kUsage, stderr);
  return 2;
}
