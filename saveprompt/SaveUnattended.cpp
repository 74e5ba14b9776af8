// Saving a job without the Save dialog: the folder and name template of the AutoSave settings. The
// PDF is written under a name of our own in the target folder and takes its final name only when
// whole, never in the place of another file. When the folder or the name cannot be used, the user is
// told why and the Save dialog takes over, the job's PDF still in the scratch folder.
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <utility>

#include "FrmPDFOptions.h"
#include "JobMessages.h"
#include "NameTemplate.h"
#include "PrintQueueRules.h"
#include "TemplateNow.h"
#include "Text.h"
#include "Unique.h"

namespace {

using win::Wide;

// Unusable folders are reported in the system's own words, as Windows users know them.
JobError SystemSays(DWORD error) { return JobError(JobFailure::Other, win::Utf8(win::ErrorText(error))); }

void CreateFolders(const std::string& folder) {
  // No owner: the shell must not show a message of its own for a job nobody watches.
  const int result = SHCreateDirectoryExW(nullptr, Wide(folder).c_str(), nullptr);
  if (result != ERROR_SUCCESS && result != ERROR_ALREADY_EXISTS && result != ERROR_FILE_EXISTS) {
    throw SystemSays(static_cast<DWORD>(result));
  }
}

// A new empty file "STEM (~NN).pdf" in the folder, as long as the longest final name "STEM (NNN).pdf":
// created only where nothing is, so no file of anyone else is ever touched.
std::string ReserveWorkingName(const std::string& folder, const std::string& stem) {
  for (unsigned n = 1; n < 100; ++n) {
    char number[8];
    std::snprintf(number, sizeof number, "%02u", n);
    const std::string path = folder + "\\" + stem + " (~" + number + ").pdf";
    const win::UniqueFile created(
        CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (created) return path;
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) throw SystemSays(error);
  }
  throw SystemSays(ERROR_FILE_EXISTS);
}

// The whole file takes the first free name of "STEM.pdf", "STEM (2).pdf" ... "STEM (999).pdf".
std::string GiveFinalName(const std::string& working, const std::string& folder, const std::string& stem) {
  for (unsigned n = 1; n <= 999; ++n) {
    const std::string path = folder + "\\" + folvarek::NumberedStem(stem, n) + ".pdf";
    // Without MOVEFILE_REPLACE_EXISTING a name that is taken fails instead of being replaced.
    if (MoveFileExW(Wide(working).c_str(), Wide(path).c_str(), 0)) return path;
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) throw SystemSays(error);
  }
  throw SystemSays(ERROR_FILE_EXISTS);
}

}  // namespace

// The AutoSave folder with the user's own %VARIABLE%s, else the save folder; no trailing backslash.
std::string FrmPDFOptions::UnattendedFolder() const {
  if (job_.AutoSavePath.empty()) return job_.saveFolder.substr(0, job_.saveFolder.find_last_not_of('\\') + 1);
  const std::wstring stored = Wide(job_.AutoSavePath);
  const auto expanded = win::FetchString([&stored](wchar_t* buffer, DWORD size) {
    // The count includes the NUL when the text fits, and is the size needed when it does not.
    const DWORD count = ExpandEnvironmentStringsW(stored.c_str(), buffer, size);
    return count == 0 || count > size ? count : count - 1;
  });
  const std::string folder = expanded ? win::Utf8(*expanded) : job_.AutoSavePath;
  return folder.substr(0, folder.find_last_not_of('\\') + 1);
}

// True when the job's PDF was saved. False after the user was told why it could not be, with the
// name it would have had proposed to the Save dialog. A failure once the file is at its final name
// (the stamp not applied) is thrown, as an asked-for job's is.
bool FrmPDFOptions::SaveWithoutAsking() {
  const std::string templ = job_.AutoSaveName.empty() ? "{title}" : job_.AutoSaveName;
  const std::string folder = UnattendedFolder();
  std::string tried = folder;
  std::string working;
  bool named = false;
  try {
    if (const auto problem = folvarek::TemplateProblem(templ)) throw JobError(JobFailure::Other, *problem);
    auto relative = *folvarek::ExpandTemplate(templ, win::TemplateValuesNow(job_.baseName));
    if (folder.empty()) {
      // Neither folder is set: the name alone says what was tried.
      proposedName_ = relative.back();
      tried = proposedName_ + ".pdf";
      throw JobError(JobFailure::Other, "No folder is set for saving without asking");
    }
    const auto parts = folvarek::FitBelowFolder(folder, std::move(relative));
    if (!parts) throw SystemSays(ERROR_FILENAME_EXCED_RANGE);
    const std::string& stem = parts->back();
    std::string subfolder = folder;
    for (std::size_t i = 0; i + 1 < parts->size(); ++i) subfolder += "\\" + (*parts)[i];
    tried = subfolder + "\\" + stem + ".pdf";
    proposedName_ = stem;
    CreateFolders(subfolder);
    working = ReserveWorkingName(subfolder, stem);
    job_.targetPath = working;
    RunPostProcessing(job_, hwnd_, Labels(), kToolStallLimit, [&](JobState& job) {
      job.targetPath = GiveFinalName(working, subfolder, stem);
      named = true;
    });
    proposedName_.clear();
    return true;
  } catch (...) {
    // Saved under its final name: only the stamp is missing, reported as for any job.
    if (named) throw;
    const JobError failure = JobErrorFromCurrentException();
    // Ours alone, and the job's PDF is still in the scratch folder for the Save dialog.
    if (!working.empty()) DeleteFileW(Wide(working).c_str());
    job_.targetPath.clear();
    std::string reason = failure.Description();
    if (!reason.empty() && reason.back() == '.') reason.pop_back();
    win::ShowMessage(nullptr, JobMessages::kCouldNotSaveTo + tried + ": " + reason + JobMessages::kChooseWhere,
                     JobMessages::kProgramTitle, MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
}
