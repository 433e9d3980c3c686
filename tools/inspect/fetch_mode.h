// brimwell-inspect --fetch: one conversation with the selector service, reported.
#pragma once

#include <ostream>

#include "addon/selector/selector_bounds.h"
#include "tools/inspect/fetch_settings.h"
#include "tools/inspect/inspect_options.h"

// Holds the conversation with the add-on's client and the given bounds, then prints the
// service's address, how the conversation ended, what the add-on makes of the reply, the model
// as cache text and, with a URL, the page lines. Writes nothing to the registry. Returns 0, or
// 1 when no conversation could be held (the host is not a numeric address).
int RunFetchMode(const FetchSettings& settings, const InspectOptions& options,
                 const selector::SelectorBounds& bounds, std::ostream& out);
