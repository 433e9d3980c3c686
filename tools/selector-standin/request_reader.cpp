// Finds the end of a selector request, which may arrive split at any byte.
#include "tools/selector-standin/request_reader.h"

namespace {

const char kClosingTag[] = "</ov_request>";
const std::size_t kClosingTagSize = sizeof kClosingTag - 1;

}  // namespace

RequestReader::State RequestReader::Append(const char* data, std::size_t size) {
    if (state != kIncomplete) return state;
    // Only the new bytes and the tail that could start the tag need searching.
    const std::size_t from = received.size() >= kClosingTagSize - 1
                                 ? received.size() - (kClosingTagSize - 1) : 0;
    received.append(data, size);
    const std::size_t tag = received.find(kClosingTag, from);
    if (tag != std::string::npos && tag + kClosingTagSize <= maxBytes) {
        received.resize(tag + kClosingTagSize);
        state = kComplete;
    } else if (received.size() >= maxBytes) {
        state = kTooLong;
    }
    return state;
}
