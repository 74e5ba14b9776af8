// The permission code handed to the security pass (its format is in PdfencLine.h): position 1 set
// when printing is permitted, position 3 when copying is permitted, all other positions "0".
#pragma once

#include <string>

namespace folvarek {

// From whether the AllowCopy and AllowPrint settings withhold copying and printing (as the settings
// table reads them: any number but 0, so an unexpected "2" or "-1" errs on the side of the
// restriction).
[[nodiscard]] std::string PermissionCode(bool copyWithheld, bool printWithheld);

}  // namespace folvarek
