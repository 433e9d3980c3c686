// What the add-on makes of the selector's reply: its cards, or nothing to replace the cache with.
#pragma once

#include <string>

#include "addon/metadata/metadata_model.h"
#include "addon/metadata/reply_text.h"

enum class ReplyUse {
    kCards,       // well-formed: the model holds the reply's cards (maybe none)
    kEmptyText,   // nothing left once decoded: the cards are rebuilt from the cache text
    kUnreadable,  // not well-formed XML, or beyond the shape limits: treated as no reply
};

// Decodes the reply to UTF-8 (legacy text through the decoder) and builds the model from it.
// For kCards and kUnreadable the model has been replaced (emptied for kUnreadable); for
// kEmptyText it is untouched.
ReplyUse ModelFromReply(const std::string& reply, const std::string& defaultRuleId,
                        const LegacyTextDecoder& legacy, MetadataModel& model);
