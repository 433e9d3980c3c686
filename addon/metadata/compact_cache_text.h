// Reading the cache text in the compact form CacheText writes, straight into the model.
#pragma once

#include <string>

#include "addon/metadata/metadata_model.h"

// Fills the emptied model from a text exactly as CacheText lays it out: "sites" then "data",
// no white space, every pattern, rule id and key once, every value a string. Returns false for
// any other text, the model then holding part of it; such a text is for the general reader.
// Where it returns true, the model is what the general reader would make of the text.
bool ReadCompactCacheText(const std::string& text, MetadataModel& model);
