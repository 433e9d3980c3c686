// The metadata cache text: the model as compact JSON, and its reading back.
#pragma once

#include <string>

#include "addon/metadata/metadata_model.h"

// {"sites":{"a.com":["1","2"]},"data":{"1":{"k":"v"},"2":{}}} with no white space, maps in
// ascending order. Quote, backslash and bytes below 0x20 are escaped as JSON, surrogates on their
// own as \u escapes; other characters are copied, so every model reads back to itself, through
// the registry's UTF-16 too. Bytes that are not UTF-8 are written as U+FFFD.
std::string CacheText(const MetadataModel& model);

// Replaces the model with what the cache text holds. Empty text empties the model and returns
// false (nothing read); otherwise returns true. A text that is not an object with "sites" (an
// object of arrays of strings) and "data" (an object of objects of strings) raises
// boost::bad_any_cast, the model keeping what was read before the fault.
bool ReadCacheText(const std::string& cacheText, MetadataModel& model);

// The general reader ReadCacheText falls back to for texts not in CacheText's own layout:
// parses the whole text into a JSON tree and walks it, with the faults described above. The
// model must be empty.
void ReadCacheTextByTree(const std::string& cacheText, MetadataModel& model);

enum CacheReading {
    kCacheEmpty,       // nothing to read: the model is empty
    kCacheRead,        // the model holds the cache
    kCacheUnreadable,  // not the cache format: the model is empty
};

// ReadCacheText for callers that want no exception and no half-read model.
CacheReading TryReadCacheText(const std::string& cacheText, MetadataModel& model);
