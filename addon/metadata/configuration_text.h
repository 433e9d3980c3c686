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

// Appends UTF-8 text as the content of a JavaScript string literal that evaluates to exactly
// that text and is safe inside an HTML script element (AppendLiteralText for scripts).
void AppendScriptString(std::string& out, const std::string& text);
