#include "NameTemplate.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "PrintQueueRules.h"

namespace folvarek {

namespace {

constexpr std::string_view kFields = "Use {title}, {date}, {time}, {datetime:FORMAT}, {user}, {domain} or {computer}.";

// Whole values and parts are cleaned; only fitting a path cuts them.
constexpr std::size_t kUncut = std::string_view::npos;

// Windows counts paths in UTF-16 units.
constexpr std::size_t kLongestPath = 259;       // MAX_PATH without its NUL
constexpr std::size_t kLongestComponent = 255;  // one folder or file name
constexpr std::size_t kSuffix = 6 + 4;          // " (NNN)" and ".pdf"

std::string Padded(int value, std::size_t width) {
  std::string digits = std::to_string(value);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return digits;
}

std::string DateTime(std::string_view format, const TemplateValues& v) {
  const std::pair<std::string_view, std::string> codes[] = {{"yyyy", Padded(v.year, 4)}, {"MM", Padded(v.month, 2)},
                                                            {"dd", Padded(v.day, 2)},    {"HH", Padded(v.hour, 2)},
                                                            {"mm", Padded(v.minute, 2)}, {"ss", Padded(v.second, 2)}};
  std::string text;
  for (std::size_t i = 0; i < format.size();) {
    const auto code = std::ranges::find_if(codes, [&](const auto& c) { return format.substr(i).starts_with(c.first); });
    if (code == std::end(codes)) {
      text += format[i++];
    } else {
      text += code->second;
      i += code->first.size();
    }
  }
  return text;
}

std::optional<std::string> FieldValue(std::string_view field, const TemplateValues& v) {
  if (field == "title") return v.title;
  if (field == "date") return DateTime("yyyy-MM-dd", v);
  if (field == "time") return DateTime("HH-mm-ss", v);
  if (field.starts_with("datetime:")) return DateTime(field.substr(9), v);
  if (field == "user") return v.user;
  if (field == "domain") return v.domain;
  if (field == "computer") return v.computer;
  return std::nullopt;
}

struct Expansion {
  std::vector<std::string> parts;  // as the template's backslashes split them, values cleaned
  std::string problem;
};

Expansion Expand(std::string_view templ, const TemplateValues& values) {
  if (templ.find_first_not_of(' ') == std::string_view::npos)
    return {{}, "The name template is empty. " + std::string(kFields)};
  std::vector<std::string> parts(1);
  for (std::size_t i = 0; i < templ.size(); ++i) {
    const char c = templ[i];
    if ((c == '{' || c == '}') && i + 1 < templ.size() && templ[i + 1] == c) {
      parts.back() += c;
      ++i;
    } else if (c == '}') {
      return {{}, "The name template has a } with no { before it. Write }} for a brace in the name."};
    } else if (c == '\\') {
      parts.emplace_back();
    } else if (c != '{') {
      parts.back() += c;
    } else {
      const std::size_t end = templ.find_first_of("{}", i + 1);
      if (end == std::string_view::npos || templ[end] == '{') {
        return {{}, "The name template has a { with no } to close it. Write {{ for a brace in the name."};
      }
      const std::string_view field = templ.substr(i + 1, end - i - 1);
      if (field == "datetime" || field == "datetime:") {
        return {{}, "The name template has {datetime:} with no format, such as {datetime:yyyy-MM-dd HH-mm}."};
      }
      const std::optional<std::string> value = FieldValue(field, values);
      if (!value)
        return {{}, "The name template has an unknown field {" + std::string(field) + "}. " + std::string(kFields)};
      // One file-name part whatever it holds: a title's backslashes and dots make no folders. An
      // empty value (no domain) adds nothing.
      if (!value->empty()) parts.back() += JobStem(*value, kUncut);
      i = end;
    }
  }
  return {std::move(parts), {}};
}

// UTF-16 units for a byte of UTF-8: none for a continuation byte, two for a character beyond the
// basic plane (a surrogate pair).
std::size_t Units(char byte) {
  const auto b = static_cast<unsigned char>(byte);
  return (b & 0xC0) == 0x80 ? 0 : b >= 0xF0 ? 2 : 1;
}

std::size_t Utf16Length(std::string_view utf8) {
  std::size_t units = 0;
  for (const char c : utf8) units += Units(c);
  return units;
}

// At most `units` UTF-16 units of `part`, never half a character, cleaned again: a cut can end in a
// dot or leave a device name ("CONSOLE" -> "CON").
std::string CutPart(std::string_view part, std::size_t units) {
  std::size_t end = 0;
  for (std::size_t used = 0; end < part.size(); ++end) {
    used += Units(part[end]);
    if (used > units) break;
  }
  return JobStem(part.substr(0, end), end);
}

}  // namespace

std::optional<std::string> TemplateProblem(std::string_view templ) {
  std::string problem = Expand(templ, {}).problem;
  if (problem.empty()) return std::nullopt;
  return problem;
}

std::optional<std::vector<std::string>> ExpandTemplate(std::string_view templ, const TemplateValues& values) {
  Expansion expansion = Expand(templ, values);
  if (!expansion.problem.empty()) return std::nullopt;
  std::vector<std::string> parts;
  for (const std::string& part : expansion.parts) {
    // Empty, "." and ".." name no folder of their own; Windows would drop or climb them.
    if (part.find_first_not_of(" .") != std::string::npos) parts.push_back(JobStem(part, kUncut));
  }
  if (parts.empty()) parts.emplace_back(kUntitledJob);
  return parts;
}

std::optional<std::vector<std::string>> FitBelowFolder(std::string_view folder, std::vector<std::string> parts) {
  if (parts.empty()) return std::nullopt;
  std::size_t used = Utf16Length(folder);
  for (auto level = parts.begin(); level + 1 != parts.end(); ++level) used += 1 + Utf16Length(*level);
  // Folders that leave room for a stem are also within what CreateDirectory accepts (MAX_PATH less
  // 12, the room for an 8.3 name), and so is each of them within a component's length.
  if (used + 1 + kSuffix >= kLongestPath) return std::nullopt;
  const std::size_t room = std::min(kLongestPath - used - 1 - kSuffix, kLongestComponent - kSuffix);
  parts.back() = CutPart(parts.back(), room);
  // A cut that leaves only dots and spaces gives kUntitledJob, which may not fit.
  if (Utf16Length(parts.back()) > room) return std::nullopt;
  return parts;
}

}  // namespace folvarek
