// What a page gets from the add-on: its host, the match and the configuration text.
#pragma once

#include <ostream>
#include <string>

#include "addon/metadata/metadata_model.h"

// Prints "host:", "matched:", "rule ids:" and "configuration:" lines for the URL, as the
// add-on's injection would decide them; returns whether the page matched.
bool PrintPage(const std::string& url, const std::string& scriptTemplate, MetadataModel& model,
               std::ostream& out);

// Prints the "static script:" line: the address a matching page loads the rule engine from.
void PrintStaticScript(bool matched, const std::string& staticScriptUrl, std::ostream& out);
