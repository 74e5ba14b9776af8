// A file written so that nobody ever sees it half-written: the data goes to a new file beside the
// target, which replaces the target in one rename once it is complete. Without Commit() the
// staged file is removed again and the target stays as it was.
#pragma once

#include <cstdio>
#include <string>

namespace folvarek::tools {

class StagedOutput {
 public:
  // Creates the staged file; throws ToolError when the target's folder cannot take it.
  explicit StagedOutput(std::string target);
  ~StagedOutput();
  StagedOutput(const StagedOutput&) = delete;
  StagedOutput& operator=(const StagedOutput&) = delete;

  [[nodiscard]] std::FILE* File() const { return file_; }
  [[nodiscard]] const std::string& Target() const { return target_; }
  [[nodiscard]] const std::string& StagedPath() const { return staged_; }

  // Closes the staged file and puts it in the target's place; throws ToolError when it cannot.
  void Commit();

 private:
  [[noreturn]] void FailWrite(const std::string& reason) const;

  std::string target_;
  std::string staged_;
  std::FILE* file_ = nullptr;
  bool committed_ = false;
};

}  // namespace folvarek::tools
