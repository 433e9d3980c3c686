// Reading a selector reply into the model, the same way for the add-on and its tools.
#include "addon/metadata/selector_reply.h"

#include "addon/metadata/metadata_response.h"

ReplyUse ModelFromReply(const std::string& reply, const std::string& defaultRuleId,
                        const LegacyTextDecoder& legacy, MetadataModel& model) {
    std::string text = ReplyTextAsUtf8(reply, legacy);
    if (text.empty()) return ReplyUse::kEmptyText;
    return BuildModelFromResponse(text, defaultRuleId, model) == kReplyRead ? ReplyUse::kCards
                                                                             : ReplyUse::kUnreadable;
}
