// File operations of the job flow. Failures are thrown as JobError with the failure numbers that
// the job routine's error handler acts on.
#pragma once

#include <string>
#include <vector>

// The names of the files (not folders) in `folder`, sorted by name. A missing folder is failure 75
// "Path not found".
[[nodiscard]] std::vector<std::string> ListFilesByName(const std::string& folder);

// Deletes a file without forcing: a read-only or locked file is failure 70 "Permission denied".
void DeleteWithoutForcing(const std::string& path);
