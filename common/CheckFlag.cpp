#include "CheckFlag.h"

#include "SettingText.h"

namespace folvarek {

CheckState CheckStateFromFlag(std::string_view flag) {
  const double number = ReadNumber(flag);
  // Outside this range the rounded number is not a box state (and may not fit in 32 bits).
  if (!(number >= -0.5 && number <= 2.5)) return CheckState::Clear;
  switch (RoundHalfEven(number)) {
    case 1: return CheckState::Ticked;
    case 2: return CheckState::Greyed;
    default: return CheckState::Clear;
  }
}

CheckState NextCheckState(CheckState state) {
  return state == CheckState::Ticked ? CheckState::Clear : CheckState::Ticked;
}

}  // namespace folvarek
