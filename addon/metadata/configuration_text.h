// The configuration script that carries the matched rule ids and rule data into a page.
#pragma once

#include <string>

#include "addon/metadata/metadata_model.h"

// {"rids":["7","9"],"7:datasets":"a,b","7:x":"1"} without its braces: the rule ids, then one
// "ruleid:key":"value" entry per key of each rule, every text escaped for a script string.
std::string InsertionText(const RuleDataMap& matched);

// The template with its first "${1}" replaced by the insertion text; a template without one
// is returned unchanged.
std::string ConfigurationText(const std::string& scriptTemplate, const RuleDataMap& matched);

// Appends text as the content of a JavaScript string literal that is also safe inside an HTML
// script element: quote, backslash, control characters, U+2028/U+2029 (as UTF-8) and "<" are
// escaped; everything else is copied byte for byte.
void AppendScriptString(std::string& out, const std::string& text);
