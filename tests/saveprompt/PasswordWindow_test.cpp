// The password window and the job's password step in this process; a second thread plays the user
// through the UI driver while the step waits, pumping messages, as the job routine does.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

#include "JobState.h"
#include "UiDriver.h"
#include "frmPassword.h"

namespace {

constexpr char kTitle[] = "Enter PDF file password";

std::string TestFolder() {
  char path[MAX_PATH] = {};
  const std::string self(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
  return self.substr(0, self.find_last_of('\\'));
}

// Runs the password step while `user` answers the window from another thread; returns what the
// user saw in message boxes.
std::string AskWhile(const std::function<std::string(HWND)>& user) {
  strPassword = "left over";
  std::string seen;
  std::thread player([&] {
    const HWND window = uidriver::WaitForWindow(kTitle);
    seen = window != nullptr ? user(window) : "<no password window>";
    // Whatever happened, the window must not keep the step waiting.
    if (IsWindow(window)) PostMessageA(window, WM_CLOSE, 0, 0);
  });
  AskForPassword(GetModuleHandleA(nullptr), TestFolder());
  player.join();
  return seen;
}

void Type(HWND window, const std::string& first, const std::string& second) {
  ASSERT_TRUE(uidriver::SetText(GetDlgItem(window, frmPassword::kUserPassId), first));
  ASSERT_TRUE(uidriver::SetText(GetDlgItem(window, frmPassword::kUserPassRepeatId), second));
}

std::string Mismatch(HWND window) {
  uidriver::PressButton(window, frmPassword::kOKButtonId);
  const auto box = uidriver::AnswerMessageBox("Folvarek  [Options]", IDOK);
  return box ? uidriver::Describe(*box) : "<no message>";
}

}  // namespace

TEST(PasswordWindow, OKAcceptsEqualEntriesTrimmed) {
  const struct {
    const char* typed;
    const char* password;
  } cases[] = {{"", ""}, {"  secret pass  ", "secret pass"}, {"Geheim", "Geheim"}};
  for (const auto& c : cases) {
    AskWhile([&](HWND window) {
      Type(window, c.typed, c.typed);
      uidriver::PressButton(window, frmPassword::kOKButtonId);
      EXPECT_TRUE(uidriver::WaitGone(window));
      return std::string();
    });
    EXPECT_EQ(strPassword, c.password) << '"' << c.typed << '"';
    EXPECT_FALSE(PassPending);
  }
}

TEST(PasswordWindow, DifferentEntriesAreRejectedAndKeepTheWindowOpen) {
  const std::string seen = AskWhile([](HWND window) {
    std::string log;
    Type(window, "secret", "secret ");  // a trailing space
    log += Mismatch(window) + "\n";
    Type(window, "secret", "Secret");  // letter case
    log += Mismatch(window) + "\n";
    // Both boxes keep what was typed; OK now with equal entries.
    EXPECT_EQ(uidriver::GetText(GetDlgItem(window, frmPassword::kUserPassRepeatId)), "Secret");
    EXPECT_TRUE(IsWindowVisible(window));
    Type(window, "secret", "secret");
    uidriver::PressButton(window, frmPassword::kOKButtonId);
    EXPECT_TRUE(uidriver::WaitGone(window));
    return log;
  });
  const std::string mismatch =
      "Folvarek  [Options] | Passwords do not match. Please check and try again! | OK | stop\n";
  EXPECT_EQ(seen, mismatch + mismatch);
  EXPECT_EQ(strPassword, "secret");
  EXPECT_FALSE(PassPending);
}

TEST(PasswordWindow, CancelEscapeAndTheCloseBoxGiveNoPassword) {
  const std::function<void(HWND)> leave[] = {
      [](HWND window) {  // Cancel after a mismatch
        Type(window, "one", "two");
        EXPECT_NE(Mismatch(window), "<no message>");
        uidriver::PressButton(window, frmPassword::kCancelButtonId);
      },
      [](HWND window) {  // Escape while a text box has the focus
        Type(window, "typed", "typed");
        uidriver::PostKey(GetDlgItem(window, frmPassword::kUserPassRepeatId), VK_ESCAPE);
      },
      [](HWND window) {  // Escape while the OK button has the focus
        Type(window, "typed", "typed");
        uidriver::PostKey(GetDlgItem(window, frmPassword::kOKButtonId), VK_ESCAPE);
      },
      [](HWND window) {  // the close box
        Type(window, "typed", "typed");
        PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
      },
  };
  for (const auto& way : leave) {
    AskWhile([&](HWND window) {
      way(window);
      EXPECT_TRUE(uidriver::WaitGone(window));
      return std::string();
    });
    EXPECT_EQ(strPassword, "");
    EXPECT_FALSE(PassPending);
  }
}

TEST(PasswordWindow, EnterPressesOKAndTheFocusStartsInTheFirstBox) {
  AskWhile([](HWND window) {
    GUITHREADINFO focus{};
    focus.cbSize = sizeof focus;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &focus);
    EXPECT_EQ(focus.hwndFocus, GetDlgItem(window, frmPassword::kUserPassId));
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(SendMessageA(GetDlgItem(window, frmPassword::kUserPassId), EM_GETPASSWORDCHAR, 0, 0), '*');
    Type(window, "entered", "entered");
    uidriver::PostKey(GetDlgItem(window, frmPassword::kUserPassRepeatId), VK_RETURN);
    EXPECT_TRUE(uidriver::WaitGone(window));
    return std::string();
  });
  EXPECT_EQ(strPassword, "entered");
}
