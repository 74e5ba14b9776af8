#include "StagedOutput.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "Platform.h"
#include "ToolSupport.h"

namespace folvarek::tools {

StagedOutput::StagedOutput(std::string target) : target_(std::move(target)) {
  // A random name beside the target, so the final rename stays within one folder; a name that is
  // already taken is simply skipped.
  for (int attempt = 0; attempt < 16 && file_ == nullptr; ++attempt) {
    std::string reason;
    staged_ = target_ + "." + RandomHex(6) + ".tmp";
    file_ = CreateNewFile(staged_, reason);
    if (file_ == nullptr && !reason.empty()) {
      FailWrite(reason);
    }
  }
  if (file_ == nullptr) {
    FailWrite("no free name for a temporary file beside it");
  }
  // Larger writes than the C runtime's default buffer; a 50 MB file goes out noticeably faster.
  std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
}

StagedOutput::~StagedOutput() {
  if (file_ != nullptr) {
    std::fclose(file_);
  }
  if (!committed_) {
    RemoveFile(staged_);
  }
}

void StagedOutput::Commit() {
  const bool flushed = std::fflush(file_) == 0 && std::ferror(file_) == 0;
  const int flushError = errno;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!flushed || !closed) {
    FailWrite(std::strerror(flushed ? errno : flushError));
  }
  const std::string reason = MoveOver(staged_, target_);
  if (!reason.empty()) {
    FailWrite(reason);
  }
  committed_ = true;
}

void StagedOutput::FailWrite(const std::string& reason) const {
  throw ToolError("cannot write " + Quoted(target_) + ": " + reason);
}

}  // namespace folvarek::tools
