#include "PdfencLine.h"

namespace folvarek {

namespace {

// The rights in the order of their positions in the code.
constexpr bool PdfRights::*kCodePositions[] = {
    &PdfRights::print,     &PdfRights::modify,        &PdfRights::extract,  &PdfRights::annotate,
    &PdfRights::fillForms, &PdfRights::accessibility, &PdfRights::assemble, &PdfRights::lowResolutionPrint};

}  // namespace

std::string WritePermissionCode(const PdfRights& rights) {
  std::string code;
  for (const auto right : kCodePositions) code += rights.*right ? '1' : '0';
  return code;
}

std::optional<PdfRights> ReadPermissionCode(std::string_view code) {
  if (code.size() != std::size(kCodePositions)) return std::nullopt;
  PdfRights rights;
  for (std::size_t i = 0; i < code.size(); ++i) {
    if (code[i] != '0' && code[i] != '1') return std::nullopt;
    rights.*kCodePositions[i] = code[i] == '1';
  }
  return rights;
}

std::string QuoteArgument(std::string_view value) {
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (const char c : value) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote are read in pairs, so they are doubled and the quote escaped.
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  quoted += '"';
  return quoted;
}

std::string WritePdfencLine(const PdfencLine& line) {
  std::string text = QuoteArgument(line.input);
  for (const std::string* quoted : {&line.output, &line.userPassword, &line.ownerPassword}) {
    text += ' ' + QuoteArgument(*quoted);
  }
  text += ' ' + line.permissionCode + ' ' + std::to_string(line.keyBits);
  text += " Creator " + QuoteArgument(line.creator) + " Producer " + QuoteArgument(line.producer);
  return text;
}

PdfencLine ReadPdfencArguments(const std::vector<std::string>& arguments) {
  const auto& a = arguments;
  if (a.size() != 10 || a[6] != "Creator" || a[8] != "Producer") {
    throw PdfencLineError(
        "wrong arguments: expected \"<input>\" \"<output>\" \"<user password>\" \"<owner password>\" "
        "<code> <bits> Creator \"<name>\" Producer \"<name>\"");
  }
  if (!ReadPermissionCode(a[4])) {
    throw PdfencLineError("permission code \"" + a[4] + "\" is not eight characters of 0 and 1");
  }
  if (a[5] != "40" && a[5] != "128" && a[5] != "256") {
    throw PdfencLineError("key length \"" + a[5] + "\" is not 40, 128 or 256");
  }
  return {a[0], a[1], a[2], a[3], a[4], std::stoi(a[5]), a[7], a[9]};
}

}  // namespace folvarek
