// Small helpers the Windows tests share: files, folders and processes of the test prefix.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "Text.h"
#include "Unique.h"

namespace testsupport {

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

inline void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

inline bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Removes a folder tree, read-only files included; what something still holds stays.
inline void RemoveTree(const std::string& folder) {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, ignored)) {
    SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  std::filesystem::remove_all(folder, ignored);
}

inline std::string SystemFolder() {
  char path[MAX_PATH] = {};
  return std::string(path, GetSystemDirectoryA(path, MAX_PATH));
}

// True while a process of this file name runs.
inline bool ProcessRuns(const std::string& exeName) {
  const win::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  bool found = false;
  const std::wstring name = win::Wide(exeName);
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more && !found;
       more = Process32NextW(snapshot.get(), &entry)) {
    found = _wcsicmp(entry.szExeFile, name.c_str()) == 0;
  }
  return found;
}

}  // namespace testsupport
