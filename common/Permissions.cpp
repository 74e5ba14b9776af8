#include "Permissions.h"

#include "PdfencLine.h"

namespace folvarek {

std::string PermissionCode(bool copyWithheld, bool printWithheld) {
  PdfRights rights;
  rights.print = !printWithheld;
  rights.extract = !copyWithheld;
  return WritePermissionCode(rights);
}

}  // namespace folvarek
