#include "PermissionCode.h"

#include <algorithm>

namespace folvarek::tools {

std::optional<Permissions> ReadPermissionCode(std::string_view code) {
  if (code.size() != 8 || !std::all_of(code.begin(), code.end(), [](char c) { return c == '0' || c == '1'; })) {
    return std::nullopt;
  }
  auto granted = [&](std::size_t position) { return code[position - 1] == '1'; };
  Permissions rights;
  rights.print = granted(1);
  rights.modify = granted(2);
  rights.extract = granted(3);
  rights.annotate = granted(4);
  rights.fillForms = granted(5);
  rights.accessibility = granted(6);
  rights.assemble = granted(7);
  rights.lowResolutionPrint = granted(8);
  return rights;
}

}  // namespace folvarek::tools
