#include "PrintQueueRules.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "SettingText.h"

namespace folvarek {

namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

bool NotAllowedInFileName(unsigned char c) {
  return c < 0x20 || c == 0x7F || std::string_view(R"(\/:*?"<>|)").find(static_cast<char>(c)) != std::string_view::npos;
}

// Windows opens the device, not a file, for these names: the part before the first dot, with
// trailing blanks trimmed as Windows trims them ("nul .txt"), and the superscript digits ¹ ² ³ count
// as digits of COM and LPT.
bool IsDeviceName(std::string_view stem) {
  std::string_view base = stem.substr(0, stem.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  static constexpr std::array<std::string_view, 6> kPlain = {"con", "prn", "aux", "nul", "conin$", "conout$"};
  if (std::ranges::any_of(kPlain, [&](std::string_view d) { return SameIgnoringCase(base, d); })) return true;
  if (base.size() < 4 || !(SameIgnoringCase(base.substr(0, 3), "com") || SameIgnoringCase(base.substr(0, 3), "lpt"))) {
    return false;
  }
  const std::string_view digit = base.substr(3);
  return (digit.size() == 1 && digit[0] >= '1' && digit[0] <= '9') || digit == "\xC2\xB9" || digit == "\xC2\xB2" ||
         digit == "\xC2\xB3";
}

// The length of the UTF-8 sequence that starts with `lead`.
std::size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

void TrimEnd(std::string& text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '.')) text.pop_back();
}

// Drops whole characters from the end until `text` fits in `maxBytes`.
void CutTo(std::string& text, std::size_t maxBytes) {
  while (text.size() > maxBytes) {
    do text.pop_back();
    while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80);
  }
}

}  // namespace

std::string JobStem(std::string_view title, std::size_t maxBytes) {
  std::string stem;
  std::size_t i = title.find_first_not_of(' ');
  while (i < title.size()) {
    const std::size_t length = std::min(SequenceLength(static_cast<unsigned char>(title[i])), title.size() - i);
    if (stem.size() + length > maxBytes) break;
    if (length == 1 && NotAllowedInFileName(static_cast<unsigned char>(title[i]))) {
      stem += '_';
    } else {
      stem.append(title.substr(i, length));
    }
    i += length;
  }
  TrimEnd(stem);
  if (stem.empty()) return std::string(kUntitledJob);
  if (IsDeviceName(stem)) {
    // Room for the mark is made at the end.
    CutTo(stem, maxBytes - 1);
    stem.insert(stem.begin(), '_');
  }
  return stem;
}

std::size_t StemBudget(std::size_t folderBytes) {
  constexpr std::size_t kMaxPath = 260;
  constexpr std::size_t kSuffixRoom = 6 + 6;  // " (NNN)" and ".taken"
  const std::size_t used = 1 + folderBytes + 1 + kSuffixRoom;  // the NUL and the backslash
  return used < kMaxPath ? std::clamp<std::size_t>(kMaxPath - used, 1, kLongestStem) : 1;
}

std::string NumberedStem(std::string_view stem, unsigned n) {
  std::string result(stem);
  if (n > 1) result += " (" + std::to_string(n) + ")";
  return result;
}

bool StartsAsPdf(std::string_view firstBytes) { return firstBytes.starts_with("%PDF-"); }

bool QueueFinishedJob(std::optional<std::uint32_t> status, std::uint64_t bytes) {
  constexpr std::uint32_t kCutShort = kJobStatusError | kJobStatusDeleting | kJobStatusDeleted | kJobStatusRestart;
  return bytes != 0 && !(status && (*status & kCutShort) != 0);
}

std::string PlainTitle(std::string_view title, std::size_t maxChars) {
  std::string plain;
  std::size_t chars = 0, i = 0;
  for (; i < title.size() && chars < maxChars; ++chars) {
    const std::size_t length = std::min(SequenceLength(static_cast<unsigned char>(title[i])), title.size() - i);
    const std::string_view c = title.substr(i, length);
    const auto lead = static_cast<unsigned char>(c[0]);
    // C0 and DEL, C1 (U+0080 to U+009F), and the line and paragraph separators U+2028 and U+2029.
    const bool control = lead < 0x20 || lead == 0x7F ||
                         (lead == 0xC2 && c.size() == 2 && static_cast<unsigned char>(c[1]) < 0xA0) ||
                         c == "\xE2\x80\xA8" || c == "\xE2\x80\xA9";
    plain += control ? std::string_view("_") : c;
    i += length;
  }
  if (i < title.size()) plain += "...";
  return plain;
}

RunnerPlace WhereToRunRunner(bool inService, std::optional<unsigned> clientSession, std::string_view ownerSid,
                             const std::vector<UserSession>& sessions) {
  if (!inService) return {RunnerPlace::Kind::OwnContext, 0};
  if (clientSession == 0u || ownerSid.empty()) return {RunnerPlace::Kind::LeaveQueued, 0};
  const auto owners = [&](const UserSession& s) {
    return s.id != 0 && s.state != UserSession::State::Other && s.sid == ownerSid;
  };
  if (clientSession) {
    const auto client = std::ranges::find(sessions, *clientSession, &UserSession::id);
    if (client != sessions.end() && owners(*client)) return {RunnerPlace::Kind::InSession, client->id};
  }
  const UserSession* best = nullptr;
  for (const UserSession& s : sessions) {
    if (!owners(s)) continue;
    if (best == nullptr || s.state < best->state || (s.state == best->state && s.id < best->id)) best = &s;
  }
  if (best == nullptr) return {RunnerPlace::Kind::LeaveQueued, 0};
  return {RunnerPlace::Kind::InSession, best->id};
}

}  // namespace folvarek
