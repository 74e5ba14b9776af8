// The permission code saveprompt hands to pdfenc: eight characters of 0 and 1, one per right.
// Only positions 1 and 3 are set by the caller today; the others are read so that the code can
// grow without a new format:
//   1 print (at full quality)        5 fill in form fields
//   2 modify the content             6 extract for accessibility
//   3 copy (extract text, images)    7 assemble (insert, rotate, delete pages)
//   4 comment (annotations)          8 print at low resolution only, when 1 is 0
// Every position reads 1 = granted, so today's codes give full-quality printing with 1 set.
#pragma once

#include <optional>
#include <string_view>

namespace folvarek::tools {

struct Permissions {
  bool print = false;
  bool modify = false;
  bool extract = false;
  bool annotate = false;
  bool fillForms = false;
  bool accessibility = false;
  bool assemble = false;
  bool lowResolutionPrint = false;
};

// The rights a code grants; nothing when it is not exactly eight characters of 0 and 1.
[[nodiscard]] std::optional<Permissions> ReadPermissionCode(std::string_view code);

}  // namespace folvarek::tools
