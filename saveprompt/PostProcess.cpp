#include "PostProcess.h"

#include <shellapi.h>

#include <optional>
#include <string>

#include "FileInfo.h"
#include "Files.h"
#include "JobError.h"
#include "JobMessages.h"
#include "ModOnTOp.h"
#include "ModReg.h"
#include "OutsideCommand.h"
#include "PostProcessRules.h"
#include "Pump.h"
#include "SaveAs.h"
#include "SettingText.h"
#include "SettingsTable.h"
#include "Text.h"
#include "Unique.h"
#include "Viewer.h"

namespace {

using namespace std::chrono_literals;
using win::Wide;
using std::chrono::milliseconds;

// How often a running tool's output is looked at for progress; the tool's end wakes the wait at once.
constexpr milliseconds kProgressPoll = 250ms;
// How often a file is looked at when nothing but the file tells that a tool is done.
constexpr milliseconds kFilePoll = 10ms;
// How long a stalled tool that was told to end is given to let go of its files.
constexpr milliseconds kEndStalledTool = 5s;

std::string FileName(const std::string& path) { return path.substr(path.find_last_of('\\') + 1); }

std::string LastErrorText() { return JobErrorFromWin32(GetLastError()).Description(); }

// The job's PDF may still be filling when the job starts; returns its size once it holds something.
std::uint64_t AwaitJobPdf(const std::string& path, milliseconds stallLimit) {
  std::uint64_t size = 0;
  const auto filled = win::WaitFor(
      [&] {
        const auto now = FileSize(path);
        if (!now) throw JobErrorFromWin32(GetLastError());
        size = *now;
        return size > 0;
      },
      stallLimit);
  if (filled != win::WaitResult::Done) throw JobError(JobFailure::Other, "The print job did not write " + path);
  return size;
}

// What shows a tool at work: its output, and the staged copies that our tools write beside it
// ("<output>.<random>.tmp") before one takes the output's place.
struct Written {
  std::optional<std::uint64_t> output;
  std::uint64_t staged = 0;
  bool operator==(const Written&) const = default;
};

Written WrittenSoFar(const std::string& output) {
  Written written{FileSize(output), 0};
  const std::string folder = output.substr(0, output.find_last_of('\\') + 1);
  (void)win::ForEachEntry(Wide(output + ".*.tmp"), [&](const WIN32_FIND_DATAW& entry) {
    written.staged += FileSize(folder + win::Utf8(entry.cFileName)).value_or(0);
    return true;
  });
  return written;
}

// Why a started tool did not deliver `output`; nothing when it did. With the tool's process at hand
// the job waits for it to end (its output complete), for as long as the tool keeps writing.
// Without one, the output must appear and fill, and then gets WaitDelay to settle.
std::optional<std::string> AwaitTool(const std::string& tool, const OutsideStart& start, const std::string& output,
                                     milliseconds stallLimit) {
  if (!start.Started()) return tool + " could not be started to write " + output;
  const std::string notWritten = tool + " did not write " + output;
  Written seen = WrittenSoFar(output);
  const auto progressed = [&] {
    const Written now = WrittenSoFar(output);
    const bool changed = now != seen;
    seen = now;
    return changed;
  };

  const HANDLE process = start.process.get();
  if (process == nullptr) {
    while (seen.output.value_or(0) == 0) {
      if (win::WaitFor(progressed, stallLimit, nullptr, kFilePoll) == win::WaitResult::TimedOut) return notWritten;
    }
    (void)win::WaitFor([] { return false; }, milliseconds(WaitDelay));
    return std::nullopt;
  }

  for (;;) {
    const auto result = win::WaitFor(progressed, stallLimit, process, kProgressPoll);
    if (result == win::WaitResult::Signalled) break;
    if (result == win::WaitResult::TimedOut) {
      // A stalled tool would keep the job's files open past the close-down.
      TerminateProcess(process, 1);
      (void)win::WaitFor([] { return false; }, kEndStalledTool, process);
      return notWritten;
    }
  }
  DWORD exitCode = 0;
  GetExitCodeProcess(process, &exitCode);
  if (exitCode != 0) return tool + " failed with exit code " + std::to_string(exitCode) + " writing " + output;
  if (FileSize(output).value_or(0) == 0) return notWritten;
  return std::nullopt;
}

// No security option: the job's PDF takes the target's name and is copied into the target's folder.
void CopyDirectly(JobState& job) {
  const std::string name = FileName(job.targetPath);
  const std::string renamed = job.scratchFolder + "\\" + name;
  if (renamed != job.jobPdfPath && !MoveFileW(Wide(job.jobPdfPath).c_str(), Wide(renamed).c_str())) {
    throw JobErrorFromWin32(GetLastError());
  }
  // When the copy fails and the user is asked again, the next attempt starts from the renamed file.
  job.jobPdfPath = renamed;
  const auto dot = name.find_last_of('.');
  job.baseName = name.substr(0, dot);
  job.extension = name.substr(dot + 1);
  if (!CopyFileW(Wide(renamed).c_str(), Wide(job.targetPath).c_str(), FALSE)) throw JobErrorFromWin32(GetLastError());
}

void SecurityPass(JobState& job, milliseconds stallLimit) {
  job.strArgs = folvarek::BuildPdfencArgs(job.scratchFolder, job.baseName, job.extension, job.targetPath, strPassword,
                                          job.strPermissions, settings::KeyLengthBits(job.KeyLength));
  WaitDelay = folvarek::WaitDelayFor(AwaitJobPdf(job.jobPdfPath, stallLimit));
  if (!folvarek::NeedsSecurityPass(job.AllowCopy, job.AllowPrint, job.AskforPass)) {
    CopyDirectly(job);
    return;
  }
  OutsideCommand command;
  command.file = "pdfenc";
  command.parameters = job.strArgs;
  const OutsideStart pdfenc = StartOutsideCommand(job.appFolder, command);
  if (const auto failure = AwaitTool("pdfenc", pdfenc, job.targetPath, stallLimit)) {
    // An empty file where the user asked for the PDF would pass for a result.
    if (FileSize(job.targetPath) == std::optional<std::uint64_t>(0)) DeleteFileW(Wide(job.targetPath).c_str());
    throw JobError(JobFailure::Other, *failure);
  }
}

// The stamp pass failed with the result left unstamped at the target: reported once the file is at
// its final name, which the report names.
struct StampNotApplied {
  std::string reason;
};

// Puts the installed file in place under its working name, unless a file of that name is there.
void Stage(const std::string& installed, const std::string& staged) {
  if (CheckFile(staged) || CopyFileW(Wide(installed).c_str(), Wide(staged).c_str(), FALSE)) return;
  throw StampNotApplied{FileName(installed) + " could not be copied to " + staged + " (" + LastErrorText() + ")"};
}

// The user's own staging folder: the temporary folder, then "Folvarek". Never the system folder,
// which every user shares while two users' jobs may run at once.
std::string PerUserStagingFolder() {
  const std::optional<std::wstring> temp =
      win::FetchString([](wchar_t* buffer, DWORD size) { return GetTempPathW(size, buffer); });
  if (!temp || temp->empty()) throw StampNotApplied{"The temporary folder is not known"};
  const std::string folder = win::Utf8(*temp) + "Folvarek";
  if (!CreateDirectoryW(Wide(folder).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    throw StampNotApplied{folder + " could not be created (" + LastErrorText() + ")"};
  }
  return folder;
}

// Creates temp.pdf (emptied, for the result so far) in `folder`, and stamp.pdf and Kestrix.exe from
// the files installed in the system folder.
void StageStampFiles(const std::string& folder, const std::string& system) {
  const std::string held = folder + "\\temp.pdf";
  const win::UniqueFile created(
      CreateFileW(Wide(held).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!created) throw StampNotApplied{held + " could not be created (" + LastErrorText() + ")"};
  Stage(system + "\\Kestrix.dll", folder + "\\stamp.pdf");
  Stage(system + "\\Kestrix.tlb", folder + "\\Kestrix.exe");
}

// The stamp tool reads the result so far as temp.pdf and writes the target anew. temp.pdf is kept
// until the tool has succeeded; when it has not, it goes back to the target, so the user keeps the
// unstamped file.
void StampPass(JobState& job, milliseconds stallLimit) {
  const std::string& target = job.targetPath;
  const std::string system = GetSystemDir();
  if (system.empty()) throw StampNotApplied{"The system folder is not known"};
  // Known to the close-down before the first file is staged, so a staging that fails half-way is
  // cleared too.
  job.stagingFolder = PerUserStagingFolder();
  const std::string& folder = job.stagingFolder;
  StageStampFiles(folder, system);
  const std::string held = folder + "\\temp.pdf";

  // Moving rather than copying costs nothing whatever the size (on one volume), and the target is
  // gone before the tool starts, as the tool has always found it.
  if (!MoveFileExW(Wide(target).c_str(), Wide(held).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
    throw JobErrorFromWin32(GetLastError());
  }
  // Across volumes a move leaves the source behind when it cannot delete it.
  if (CheckFile(target) && !DeleteFileW(Wide(target).c_str())) throw JobErrorFromWin32(GetLastError());
  win::PendingMessages();

  OutsideCommand command;
  command.file = folder + "\\Kestrix";
  command.parameters = folvarek::BuildStampingLine(folder, target);
  command.folder = job.appFolder;
  // The stamp tool must open a password-protected result; the password never goes on a command line.
  command.environmentName = "FOLVAREK_PDF_PASSWORD";
  command.environmentValue = strPassword;
  const OutsideStart stamp = StartOutsideCommand(job.appFolder, command);
  const auto failure = AwaitTool("Kestrix.exe", stamp, target, stallLimit);
  job.stampToolEnded = stamp.process && WaitForSingleObject(stamp.process.get(), 0) == WAIT_OBJECT_0;
  if (!failure) return;
  if (!MoveFileExW(Wide(held).c_str(), Wide(target).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
    throw JobError(JobFailure::Other, *failure + ". The stamp could not be applied, and " + target +
                                          " could not be put back (" + LastErrorText() + ")");
  }
  throw StampNotApplied{*failure};
}

void View(const JobState& job, HWND jobWindow) {
  const auto opened = reinterpret_cast<INT_PTR>(
      ShellExecuteW(jobWindow, L"open", Wide(job.targetPath).c_str(), L"", Wide(job.appFolder).c_str(), SW_SHOWNORMAL));
  // Unowned, like the job's other messages: the job window itself is never seen.
  if (opened <= 32) OfferReaderDownload(nullptr, JobMessages::kJobWindowTitle);
}

}  // namespace

void RunPostProcessing(JobState& job, HWND jobWindow, const JobLabels& labels, milliseconds stallLimit,
                       const std::function<void(JobState&)>& settle) {
  SecurityPass(job, stallLimit);
  std::optional<std::string> unstamped;
  try {
    StampPass(job, stallLimit);
  } catch (const StampNotApplied& failure) {
    unstamped = failure.reason;
  }
  // The unstamped result is a result too: it takes its final name before it is reported.
  if (settle) settle(job);
  labels.setPath(folvarek::TrimBlanks(job.saveFolder).empty() ? job.scratchFolder : job.saveFolder);
  labels.setFile(job.targetPath);
  if (unstamped) {
    throw JobError(JobFailure::Other,
                   *unstamped + ". The stamp could not be applied; " + job.targetPath + " is saved without it.");
  }
  if (settings::IsOn(settings::Id::ViewPDF, ModReg::GetViewPDFOpt())) View(job, jobWindow);
}
