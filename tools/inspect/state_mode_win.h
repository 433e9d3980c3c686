// brimwell-inspect --state: the add-on's settings and cache on this machine, and what its next
// page would do with them.
#pragma once

#include <ostream>

#include "tools/inspect/inspect_options.h"

// Reads the settings with the add-on's own loader, as a new add-on object's first page does
// (which creates the empty per-user key when it is missing, as that page would), and prints
// every value as stored, the trigger file, the refresh decision and why, the cache's counts
// and, with a URL, the page lines and the static script address. Values that are missing or of
// another type are shown as such. Returns 0, or 1 when the output could not be written.
int RunStateMode(const InspectOptions& options, std::ostream& out);
