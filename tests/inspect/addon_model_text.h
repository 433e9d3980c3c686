// The cache text of the model the add-on holds after a conversation: on Windows from the
// add-on's own completion handlers over a scratch registry key, elsewhere from the portable
// reading of the reply that those handlers use.
#pragma once

#include <string>

// After a reply (empty: no reply) when the cache held cacheText.
std::string AddonModelText(const std::string& reply, const std::string& cacheText,
                           const std::string& defaultRuleId);
