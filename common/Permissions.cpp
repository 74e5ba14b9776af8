#include "Permissions.h"

#include "SettingText.h"

namespace folvarek {

std::string PermissionCode(std::string_view allowCopy, std::string_view allowPrint) {
  std::string code = "00000000";
  if (ReadNumber(allowPrint) == 0.0) code[0] = '1';
  if (ReadNumber(allowCopy) == 0.0) code[2] = '1';
  return code;
}

}  // namespace folvarek
