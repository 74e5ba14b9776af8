// The preferences window "Folvarek Settings": shows the stored default folder, the four options, the
// key length and saving without asking (the switch, its folder and name template, with an example of
// the name) and stores them when the user presses OK. A setting that a policy sets is shown as
// the policy has it, locked, with a note, and never stored. It is shown modeless; the program runs
// while it is open.
#pragma once

#include <windows.h>

#include <array>
#include <optional>
#include <string>

#include "CheckFlag.h"
#include "SettingsTable.h"
#include "Unique.h"
#include "Window.h"

class FrmPref : public win::Window {
 public:
  FrmPref() = default;
  ~FrmPref() override;

  // Creates the window, loads the stored settings into it and shows it with the focus on OK.
  // False when the window could not be created.
  [[nodiscard]] bool Show();
  // The window while it is open; nullptr once it has unloaded.
  [[nodiscard]] HWND Window() const { return hwnd_; }
  // Gives a message of the program's loop to the window's keyboard handling (Tab, access keys);
  // true when it was handled there and must not be dispatched again.
  [[nodiscard]] bool HandleDialogMessage(MSG& message);

  // Checks the location, creates its folder when missing and stores it. True when it was accepted
  // and stored, or a policy sets it; a blank location or a failed write has been reported to the
  // user when false.
  [[nodiscard]] bool CheckRemainingSettings();
  // Stores the four option flags, the key length and the three settings of saving without asking
  // that no policy sets, each write independent of the others; true when all were stored.
  [[nodiscard]] bool SaveChanges();

  // The controls, in the order the keyboard focus moves through them, then those it skips.
  enum Control : int {
    Command1_OK,  // the design's button array Command1: OK, then Cancel
    Command1_Cancel,
    chkPassword,
    chkAllowCopy,
    chkAllowPrint,
    chkKeyLength,
    CmdBFFolder,
    TxtPath,
    chkPDFResults,
    chkAutoSave,  // "Save without asking"
    TxtAutoSavePath,
    CmdBFAutoSave,
    TxtAutoSaveName,
    Label1,  // "Default to this directory when creating PDF files:"
    lblAutoSavePath,
    lblAutoSaveName,
    lblExample,  // the name the template gives a sample job, or what is wrong with the template
    // "Set by your administrator.", shown under a control whose setting a policy sets.
    noteLocation,
    notePassword,
    noteAllowCopy,
    noteAllowPrint,
    noteKeyLength,
    notePDFResults,
    noteAutoSave,
    noteAutoSavePath,
    noteAutoSaveName,
    Frame3,  // " Settings "
    Frame2,  // " Security "
    Frame4,  // " Save without asking "
    ControlCount
  };

 private:
  std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  void Form_Load();
  void Form_Unload();
  void Unload();
  void CmdBFFolder_Click();
  void BrowseInto(Control box);
  void UpdateExample();
  // The name template's problem when it is the user's to fix (no policy sets it) and is not empty,
  // which stands for {title}.
  [[nodiscard]] std::optional<std::string> NameProblem() const;
  void Command1_Click(int index);
  void CheckBox_Click(Control box);

  [[nodiscard]] bool CreateControls();
  void ApplyLayout(UINT dpi);
  void PlaceWindow(UINT dpi);
  [[nodiscard]] std::string PathText() const { return TextOf(TxtPath); }
  [[nodiscard]] std::string TextOf(Control box) const;
  [[nodiscard]] folvarek::CheckState CheckOf(Control box) const;
  void SetCheck(Control box, folvarek::CheckState state);
  void ShowMessage(const char* text);
  [[nodiscard]] bool SetByPolicy(settings::Id setting) const { return setByPolicy_[static_cast<std::size_t>(setting)]; }

  std::array<HWND, ControlCount> controls_{};
  std::array<bool, settings::kSettings.size()> setByPolicy_{};
  win::UniqueFont controlFont_;  // Tahoma 8.25 pt, for every control but the text box
  win::UniqueFont windowFont_;   // the window's default font, which the text box uses
  win::UniqueFont noteFont_;     // a size smaller than the controls', for the notes between their rows
};
