// Matches the host name of a page against the site patterns of the model.
#pragma once

#include <string>

#include "addon/metadata/metadata_model.h"

// A pattern matches when it is ".*" or "all" or occurs in the host (plain bytes). The result
// holds the data of every rule id of every matching pattern; it counts as matched only when a
// non-empty pattern matched and some rule id was reached. Rule ids without data get an empty
// entry in the model's data. An empty host and "blank" never match.
MatchResult MatchSites(const std::string& host, MetadataModel& model);
