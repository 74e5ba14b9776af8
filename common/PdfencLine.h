// pdfenc's argument line and the permission code it carries, written by saveprompt and read by
// pdfenc from this one description, so the two sides cannot drift apart. No <windows.h> here, so
// all of it is unit-tested natively as well as under Wine.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace folvarek {

// The rights of a permission code: eight characters of 0 and 1, one per right, 1 = granted.
// saveprompt sets only positions 1 and 3; all eight are read so that the code can grow without a
// new format:
//   1 print (at full quality)        5 fill in form fields
//   2 modify the content             6 extract for accessibility
//   3 copy (extract text, images)    7 assemble (insert, rotate, delete pages)
//   4 comment (annotations)          8 print at low resolution only, when 1 is 0
struct PdfRights {
  bool print = false;
  bool modify = false;
  bool extract = false;
  bool annotate = false;
  bool fillForms = false;
  bool accessibility = false;
  bool assemble = false;
  bool lowResolutionPrint = false;

  bool operator==(const PdfRights&) const = default;
};

[[nodiscard]] std::string WritePermissionCode(const PdfRights& rights);

// The rights a code grants; nothing when it is not exactly eight characters of 0 and 1.
[[nodiscard]] std::optional<PdfRights> ReadPermissionCode(std::string_view code);

// `value` in double quotes, written so that Windows' own parsing of a command line
// (CommandLineToArgvW, the C runtime) gives back exactly `value`: a quote inside gets a backslash,
// and backslashes are doubled where a quote follows them (the closing one included). Text without
// quotes and without a trailing backslash comes out simply between quotes.
[[nodiscard]] std::string QuoteArgument(std::string_view value);

// What pdfenc's line carries, in its order:
//   "<input>" "<output>" "<user password>" "<owner password>" <code> <bits> Creator "<name>" Producer "<name>"
// The code and the key length stand unquoted, as callers have always written them; an empty code
// leaves its place empty, which pdfenc refuses as a line with an argument missing.
struct PdfencLine {
  std::string input;
  std::string output;
  std::string userPassword;
  std::string ownerPassword;
  std::string permissionCode;
  int keyBits = 0;
  std::string creator;
  std::string producer;

  bool operator==(const PdfencLine&) const = default;
};

[[nodiscard]] std::string WritePdfencLine(const PdfencLine& line);

// Arguments pdfenc cannot act on; what() is the reason pdfenc gives.
class PdfencLineError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// The fields of pdfenc's arguments as the system split its line (on Windows by the rules that
// QuoteArgument writes for). Throws PdfencLineError unless there are ten arguments with the words
// Creator and Producer in place, a permission code of eight characters of 0 and 1, and a key
// length of 40, 128 or 256.
[[nodiscard]] PdfencLine ReadPdfencArguments(const std::vector<std::string>& arguments);

}  // namespace folvarek
