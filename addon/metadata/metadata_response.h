// Builds the metadata model from the selector service's XML reply.
#pragma once

#include <string>

#include "addon/metadata/metadata_model.h"

class TiXmlElement;

enum ReplyReading {
    kReplyRead,        // well-formed: the model holds what the cards say (maybe nothing)
    kReplyUnreadable,  // not well-formed or without an element: the model is empty
};

// Replaces the model with the cards of the reply and empties responseText, which holds the reply
// as UTF-8 (ReplyTextAsUtf8) whatever its declaration says. The first element is the root,
// whatever comes before it (an XML declaration, a comment). Cards are the root's children whose
// tag name contains "card"; their children whose tag name contains "VeltraneMetadata" are
// metadata blocks. defaultRuleId is the rule id of blocks without one.
ReplyReading BuildModelFromResponse(std::string& responseText, const std::string& defaultRuleId,
                                    MetadataModel& model);

// Adds one metadata block: its items are named by their "name" attribute and valued by their
// first child's text.
void ProcessMetadataBlock(const TiXmlElement& block, const std::string& defaultRuleId,
                          MetadataModel& model);
