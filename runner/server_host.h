// Loading and running the selector server library "krestel-ss.dll" from the bin folder.
#pragma once

#include <string>

// The bin folder joined with "krestel-ss.dll" in native form (the bare name without a bin
// folder); computed on first use.
const std::string& GetServerLibraryPath();

// Loads the library, calls its "RunTcpServer" until it returns, frees it, logging each step.
// Loader failures are logged and end the call normally; exceptions from the entry point pass
// through, leaving the library loaded.
void RunServerLibrary();
