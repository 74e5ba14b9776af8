#include "PrintQueueRules.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace folvarek {

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

bool NotAllowedInFileName(unsigned char c) {
  return c < 0x20 || c == 0x7F || std::string_view(R"(\/:*?"<>|)").find(static_cast<char>(c)) != std::string_view::npos;
}

// Windows opens the device, not a file, for these names, with or without an extension.
bool IsDeviceName(std::string_view stem) {
  const std::string_view base = stem.substr(0, stem.find('.'));
  static constexpr std::array<std::string_view, 4> kPlain = {"con", "prn", "aux", "nul"};
  if (std::ranges::any_of(kPlain, [&](std::string_view d) { return SameIgnoringCase(base, d); })) return true;
  return base.size() == 4 && (SameIgnoringCase(base.substr(0, 3), "com") || SameIgnoringCase(base.substr(0, 3), "lpt")) &&
         base[3] >= '1' && base[3] <= '9';
}

// The length of the UTF-8 sequence that starts with `lead`, and the UTF-16 units it takes.
std::size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

void TrimEnd(std::string& text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '.')) text.pop_back();
}

}  // namespace

std::string JobStem(std::string_view title, std::size_t maxUnits) {
  std::string stem;
  std::size_t units = 0;
  std::size_t i = title.find_first_not_of(' ');
  while (i < title.size()) {
    const std::size_t length = std::min(SequenceLength(static_cast<unsigned char>(title[i])), title.size() - i);
    const std::size_t needed = length == 4 ? 2 : 1;
    if (units + needed > maxUnits) break;
    if (length == 1 && NotAllowedInFileName(static_cast<unsigned char>(title[i]))) {
      stem += '_';
    } else {
      stem.append(title.substr(i, length));
    }
    units += needed;
    i += length;
  }
  TrimEnd(stem);
  if (stem.empty()) return std::string(kUntitledJob);
  if (IsDeviceName(stem)) {
    stem.insert(stem.begin(), '_');
    if (units + 1 > maxUnits) {
      // Room for the mark is made at the end, a whole character at a time.
      do stem.pop_back(); while ((static_cast<unsigned char>(stem.back()) & 0xC0) == 0x80);
    }
  }
  return stem;
}

std::string NumberedStem(std::string_view stem, unsigned n) {
  std::string result(stem);
  if (n > 1) result += " (" + std::to_string(n) + ")";
  return result;
}

bool StartsAsPdf(std::string_view firstBytes) { return firstBytes.starts_with("%PDF-"); }

RunnerPlace WhereToRunRunner(bool inService, std::optional<unsigned> clientSession, std::string_view owner,
                             const std::vector<UserSession>& sessions) {
  if (!inService) return {RunnerPlace::Kind::OwnContext, 0};
  const auto owners = [&](const UserSession& s) {
    return s.id != 0 && s.state != UserSession::State::Other && SameIgnoringCase(s.user, owner);
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
