// What the name template's tokens stand for at this moment, for this process's user: one source for
// the job that saves without asking and the example the preferences window shows.
#pragma once

#include <string>

#include "NameTemplate.h"

namespace win {

// The title given, the local time now, the user's account name, %USERDOMAIN% and the computer's
// name (each empty when it cannot be had).
[[nodiscard]] folvarek::TemplateValues TemplateValuesNow(std::string title);

}  // namespace win
