// The print job, run from the job window's load from start to end: the settings, the permission
// code, the save folder, the job's PDF in the scratch folder, the password, the save without asking
// when it is set, else (or when it cannot be done) the Save File As prompt, the target path and the
// post-processing that writes it. One error handler covers all of it, and
// every way out unloads the window, which ends the program.
#include <string>

#include "FileInfo.h"
#include "FrmPDFOptions.h"
#include "JobFiles.h"
#include "JobMessages.h"
#include "JobNames.h"
#include "ModOnTOp.h"
#include "ModReg.h"
#include "OutsideCommand.h"
#include "Permissions.h"
#include "PostProcess.h"
#include "SaveAs.h"
#include "SaveFolder.h"
#include "SettingsTable.h"
#include "Text.h"
#include "Window.h"
#include "frmPassword.h"

void FrmPDFOptions::LoadMdl() noexcept {
  jobRunning_ = true;
  struct EndOfJob {
    bool& running;
    ~EndOfJob() { running = false; }
  } endOfJob{jobRunning_};

  // Up to the first Save File As prompt there is no prompt to go back to: every failure ends the job.
  try {
    strPassword.clear();
    job_.strPermissions.clear();
    Vanish();
    ReadSettings();
    job_.strPermissions = folvarek::PermissionCode(settings::IsOn(settings::Id::AllowCopy, job_.AllowCopy),
                                                   settings::IsOn(settings::Id::AllowPrint, job_.AllowPrint));
    PrepareSaveFolder();
    PassPending = false;
    if (!FindJobPdf()) {
      CloseOut();
      return;
    }
    SplitJobPdfName();
    if (settings::IsOn(settings::Id::Password, job_.AskforPass)) AskForPassword(instance_, job_.appFolder);
  } catch (...) {
    EndWithFailure(JobErrorFromCurrentException());
    return;
  }

  if (settings::IsOn(settings::Id::AutoSave, job_.AutoSave)) {
    try {
      if (SaveWithoutAsking()) {
        CloseOut();
        return;
      }
    } catch (...) {
      EndWithFailure(JobErrorFromCurrentException());
      return;
    }
  }

  // The save-as loop with the post-processing. A file that cannot be written or removed where the
  // user asked (failures 70 and 75) sends the user back to the prompt; any other failure ends the job.
  for (;;) {
    try {
      const SaveAsAnswer answer = SettleTarget();
      if (answer == SaveAsAnswer::AskAgain) continue;
      if (answer == SaveAsAnswer::Settled) RunPostProcessing(job_, hwnd_, Labels());
      break;
    } catch (...) {
      const JobError failure = JobErrorFromCurrentException();
      if (!failure.SendsBackToPrompt()) {
        EndWithFailure(failure);
        return;
      }
      win::ShowMessage(nullptr, JobMessages::kCannotOverwrite, JobMessages::kProgramTitle, MB_OK | MB_ICONHAND);
    }
  }
  CloseOut();
}

void FrmPDFOptions::ReadSettings() {
  job_.saveFolder = ModReg::GetSaveLocation();
  job_.AskforPass = ModReg::GetPasswordOpt();
  job_.AllowCopy = ModReg::GetAllowCopyOpt();
  job_.AllowPrint = ModReg::GetAllowPrintOpt();
  job_.KeyLength = ModReg::GetKeyLengthOpt();
  job_.AutoSave = ModReg::Read(settings::Id::AutoSave);
  job_.AutoSavePath = ModReg::Read(settings::Id::AutoSavePath);
  job_.AutoSaveName = ModReg::Read(settings::Id::AutoSaveName);
}

// The save folder is the prompt's starting folder; it is created before anything is asked. Without
// one the prompt starts wherever the dialog chooses.
void FrmPDFOptions::PrepareSaveFolder() {
  job_.saveFolder = folvarek::WithTrailingBackslash(job_.saveFolder);
  if (!job_.saveFolder.empty()) CreateSaveFolder(hwnd_, job_.saveFolder);
}

// The job's PDF is the first file of the scratch folder, by name, whose name ends in "pdf"; an
// empty one ends the job. A scratch folder that cannot be named is as missing as one not there.
bool FrmPDFOptions::FindJobPdf() {
  const std::string& scratch = job_.scratchFolder;
  if (scratch.empty()) throw JobErrorFromWin32(ERROR_PATH_NOT_FOUND);
  for (const std::string& name : ListFilesByName(scratch)) {
    if (folvarek::EndsInPdf(name)) {
      job_.jobPdfPath = scratch + "\\" + name;
      // Nothing to save: say so now rather than after both prompts.
      const auto size = FileSize(job_.jobPdfPath);
      if (!size) throw JobErrorFromWin32(GetLastError());
      if (*size == 0) throw JobError(JobFailure::Other, "The print job's PDF is empty: " + job_.jobPdfPath);
      return true;
    }
  }
  return false;
}

void FrmPDFOptions::SplitJobPdfName() {
  const std::string name = job_.jobPdfPath.substr(job_.jobPdfPath.find_last_of('\\') + 1);
  const auto parts = folvarek::SplitAtLastDot(name);
  if (!parts) throw JobError(JobFailure::Other, "Invalid procedure call or argument");
  job_.baseName = parts->baseName;
  job_.extension = parts->extension;
}

// One round of the save-as loop: the prompt, the overwrite question for a file that already exists,
// and the target path ending in ".pdf".
FrmPDFOptions::SaveAsAnswer FrmPDFOptions::SettleTarget() {
  job_.targetPath.clear();
  StartOutsideCommand(job_.appFolder, "ShowSave");
  // The job's name (its scratch file's name without the extension) is proposed as the file name, or
  // once the name a failed save without asking would have given.
  const std::string answer = ShowSaveAs(job_.saveFolder, proposedName_.empty() ? job_.baseName : proposedName_);
  proposedName_.clear();
  if (answer.empty()) return SaveAsAnswer::Cancelled;

  const std::string chosen(folvarek::PlainPath(answer));
  if (!MayReplace(chosen)) return SaveAsAnswer::AskAgain;
  const std::string target = folvarek::NormaliseTarget(answer);
  // A name typed without ".pdf" must not silently replace the PDF of that name either.
  if (target != chosen && !MayReplace(target)) return SaveAsAnswer::AskAgain;
  job_.targetPath = target;
  return SaveAsAnswer::Settled;
}

// True when nothing is in the way: no file at `path`, or the user agreed to over write it and it has
// been deleted (without forcing, so a read-only or locked file is failure 70).
bool FrmPDFOptions::MayReplace(const std::string& path) {
  if (!CheckFile(path)) return true;
  const std::string question = path + JobMessages::kAlreadyExists;
  if (win::ShowMessage(nullptr, question, JobMessages::kProgramTitle, MB_YESNO) != IDYES) return false;
  DeleteWithoutForcing(path);
  return true;
}

// The save folder (or the scratch folder without one) and the target go into the two red labels.
JobLabels FrmPDFOptions::Labels() const {
  const HWND window = hwnd_;
  return {[window](const std::string& text) { SetDlgItemTextW(window, kLblPath, win::Wide(text).c_str()); },
          [window](const std::string& text) { SetDlgItemTextW(window, kLabel5, win::Wide(text).c_str()); }};
}

// The end of every job that gets this far. Without a target the job's PDF was not saved.
void FrmPDFOptions::CloseOut() noexcept {
  if (job_.targetPath.empty()) {
    win::ShowMessage(nullptr, JobMessages::kNoPdfFile, JobMessages::kJobWindowTitle, MB_OK | MB_ICONHAND);
  } else {
    SetOnTop(hwnd_, true);
  }
  Unload();
}

void FrmPDFOptions::EndWithFailure(const JobError& failure) noexcept {
  const std::string text = JobMessages::kCouldNotWrite + failure.Description();
  win::ShowMessage(nullptr, text, JobMessages::kFailureTitle, MB_OK | MB_ICONHAND);
  Unload();
}
