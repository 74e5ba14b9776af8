#include "JobState.h"

std::string strPassword;
bool PassPending = false;
std::int32_t WaitDelay = 0;
