// How big a file is, for the job's waits on its PDF and on the outside tools' output.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The size of the file at `path`; nothing when no file is there (a folder does not count).
[[nodiscard]] std::optional<std::uint64_t> FileSize(const std::string& path);
