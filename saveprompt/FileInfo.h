// What the job asks of a path: is a file there, and how big is it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The size of the file at `path`; nothing when no file is there (a folder does not count).
[[nodiscard]] std::optional<std::uint64_t> FileSize(const std::string& path);

[[nodiscard]] inline bool IsFile(const std::string& path) { return FileSize(path).has_value(); }
