// Parsing a whole JSON text into a tree of shared values.
#pragma once

#include <string>

#include "addon/json/json_value.h"

namespace json {

// Returns the root object of a text that is one object with any whitespace before it and
// only spaces (0x20) after it; for any other text a fresh empty holder (never null).
// Raises nothing for malformed text; std::bad_alloc when memory runs out.
value_ptr parse(std::string::const_iterator begin, std::string::const_iterator end);

}  // namespace json
