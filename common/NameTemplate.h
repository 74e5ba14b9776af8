// The name template of jobs saved without asking: whether a template can be used, the relative path
// (subfolders, then the file's stem) it gives for a job, and that path fitted below a folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace folvarek {

// What the tokens stand for: the job's name and the local time it is saved at, the user's account.
struct TemplateValues {
  std::string title;  // {title}: the job's name, as the Save dialog proposes it
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  std::string user, domain, computer;
};

// Nothing for a usable template, else one sentence saying what is wrong with it: an unknown field, a
// brace that is not balanced, a {datetime:} with no format, an empty template.
[[nodiscard]] std::optional<std::string> TemplateProblem(std::string_view templ);

// The relative path a template gives, one part a folder level and the last the file's stem; nothing
// when the template has a problem. Tokens: {title}, {date} (yyyy-MM-dd), {time} (HH-mm-ss),
// {datetime:FORMAT} (yyyy MM dd HH mm ss replaced, any other character kept), {user}, {domain},
// {computer}; {{ and }} are braces, and a \ starts a subfolder. Each token's value, then each part,
// is cleaned as a job's name is (JobStem), so no value can name a device, another folder or one
// above: parts left with nothing but dots and spaces are dropped, and with no part left the stem is
// kUntitledJob.
[[nodiscard]] std::optional<std::vector<std::string>> ExpandTemplate(std::string_view templ,
                                                                     const TemplateValues& values);

// The parts fitted below `folder` (UTF-8, joined with one backslash), in the UTF-16 units Windows
// counts: the stem cut, never inside a character, so that "FOLDER\SUBFOLDERS\STEM (NNN).pdf" stays
// within MAX_PATH (259 units and the NUL) and a component's 255 units, with room for NumberedStem up
// to 999. Nothing when the folder and its subfolders leave no room for a stem.
[[nodiscard]] std::optional<std::vector<std::string>> FitBelowFolder(std::string_view folder,
                                                                     std::vector<std::string> parts);

}  // namespace folvarek
