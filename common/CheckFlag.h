// How a stored option flag shows in a three-state check box, and what a click does to it. The box can
// show a state that a flag never stores (greyed); a ticked box stores the flag's "on" text, any
// other its "off" text (the settings table's).
#pragma once

#include <string_view>

namespace folvarek {

// The values are the check box states of the platform (clear, ticked, greyed).
enum class CheckState { Clear = 0, Ticked = 1, Greyed = 2 };

// A stored flag as a box shows it: the text read as a number, rounded half to even; 0 clear,
// 1 ticked, 2 greyed. Any other number has no box state and shows clear, so OK then stores "0".
[[nodiscard]] CheckState CheckStateFromFlag(std::string_view flag);

// A click by the user ticks a clear or greyed box and clears a ticked one: the user can never
// make a box greyed.
[[nodiscard]] CheckState NextCheckState(CheckState state);

}  // namespace folvarek
