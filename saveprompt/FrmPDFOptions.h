// The job window: never worked with directly. Loading it runs the whole print job (LoadMdl), and
// its unload ends the program.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "JobError.h"
#include "JobState.h"
#include "PostProcess.h"
#include "TwipsLayout.h"
#include "Window.h"

class FrmPDFOptions : public win::Window {
 public:
  // Control ids, after the controls' names in the window's design.
  enum Control : int {
    kText2 = 201,  // text boxes, never used
    kText1,
    kFrame1,    // the frame of the Open action and the job's paths
    kCommand1,  // the Open action's picture button
    kLabel8,    // "Path :"
    kLblPath,   // the save folder
    kLabel6,    // "File :"
    kLabel5,    // the target path
    kLabel1,    // "Open"
    kLabel2,    // "Prompting for filename...."
    kLabel4     // "Choose one of the options below to proceed next"
  };

  explicit FrmPDFOptions(HINSTANCE instance);
  ~FrmPDFOptions() override;

  // Creates the window, hidden, and loads it. The load runs the job to its end; when Show returns
  // the window has unloaded and the program's quit message is waiting.
  void Show();

 private:
  // The job (LoadMdl.cpp).
  enum class SaveAsAnswer { Settled, Cancelled, AskAgain };
  void LoadMdl() noexcept;
  void ReadSettings();
  void PrepareSaveFolder();
  [[nodiscard]] bool FindJobPdf();
  void SplitJobPdfName();
  [[nodiscard]] SaveAsAnswer SettleTarget();
  [[nodiscard]] bool MayReplace(const std::string& path);
  [[nodiscard]] JobLabels Labels() const;
  void CloseOut() noexcept;
  void EndWithFailure(const JobError& failure) noexcept;

  // Saving without the Save dialog (SaveUnattended.cpp).
  [[nodiscard]] bool SaveWithoutAsking();
  [[nodiscard]] std::string UnattendedFolder() const;

  // The window (FrmPDFOptions.cpp).
  void Form_Load() noexcept;
  void CreateControls();
  void Vanish();
  void Unload() noexcept;
  void JobWindowUnloading() noexcept;
  void Command1_Click() noexcept;
  std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  HINSTANCE instance_;
  bool jobRunning_ = false;  // while LoadMdl runs
  win::WindowScale scale_;
  win::UniqueFont font_;
  JobState job_;
  // The name the next Save dialog proposes instead of the job's, after a save without asking failed.
  std::string proposedName_;
};
