// brimwell-inspect FILE: the model of a selector reply or a cache text read from a file.
#pragma once

#include <ostream>

#include "tools/inspect/inspect_options.h"

// Prints the model as cache text and, with a URL, the page lines. Returns the exit code: 0, or
// 1 with one line on err when the input cannot be read.
int RunFileMode(const InspectOptions& options, std::ostream& out, std::ostream& err);
