// The few file-system and clock operations the logger needs, with narrow (ANSI) paths.
#pragma once

#include <string>

#include "runner/log_line.h"

// Any object of that name counts, a plain file included. Throws std::system_error when the
// test fails for a reason other than the name not being found.
bool PathExists(const std::string& path);

// Creates one folder level (its parent must exist); a folder that already exists is fine.
// Throws std::system_error on any other failure.
void CreateFolder(const std::string& path);

LogTime CurrentLocalTime();
