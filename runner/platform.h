// The few file-system and clock operations the logger needs, with narrow (ANSI) paths.
#pragma once

#include <string>

#include "runner/log_line.h"

// Any object of that name counts, a plain file included. Throws std::system_error when the
// test fails for a reason other than the name not being found.
bool PathExists(const std::string& path);

enum class FolderCreation { kCreated, kAlreadyExisted };
// Creates one folder level (its parent must exist); throws std::system_error on failure.
FolderCreation CreateFolder(const std::string& path);

// The working directory as first queried in this process, in native form.
std::string InitialWorkingDirectory();

LogTime CurrentLocalTime();
