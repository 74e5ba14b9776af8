// The permission code handed to the security pass (its format is in PdfencLine.h): position 1 set
// when printing is permitted, position 3 when copying is permitted, all other positions "0".
#pragma once

#include <string>
#include <string_view>

namespace folvarek {

// From the stored AllowCopy and AllowPrint flags, whose "1" means "stop users doing this". A flag
// that reads as 0 (missing and empty included) permits the action; any other number withholds it,
// so an unexpected value such as "2" or "-1" errs on the side of the restriction.
[[nodiscard]] std::string PermissionCode(std::string_view allowCopy, std::string_view allowPrint);

}  // namespace folvarek
