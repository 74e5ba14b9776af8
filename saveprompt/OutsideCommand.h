// Outside commands that the job starts by name (ShowPass, ShowSave) through the shell.
#pragma once

#include <cstdint>
#include <string>

// Starts `name` with the shell's "Open" action, window hidden, without waiting and without any
// error message of the shell's own. A program of that name in the application folder is started by
// its full path. Otherwise the name is searched on the program search path while the current folder
// is the application folder: after a Save dialog the current folder is wherever the user saved, and
// a program of that name planted there must never run. Returns the shell's result (greater than 32
// on success).
std::intptr_t StartOutsideCommand(const std::string& appFolder, const std::string& name,
                                  const std::string& parameters = {});
