// saveprompt: the job save dialog, one print job per run.
#include <windows.h>

#include "ModOnTOp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return Main(instance); }
