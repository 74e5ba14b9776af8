#include "Permissions.h"

#include "PdfencLine.h"
#include "SettingText.h"

namespace folvarek {

std::string PermissionCode(std::string_view allowCopy, std::string_view allowPrint) {
  PdfRights rights;
  rights.print = ReadNumber(allowPrint) == 0.0;
  rights.extract = ReadNumber(allowCopy) == 0.0;
  return WritePermissionCode(rights);
}

}  // namespace folvarek
