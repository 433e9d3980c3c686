// Collects the bytes of one selector request until its closing tag, within a byte bound.
#pragma once

#include <cstddef>
#include <string>

// The client never closes its sending side, so the end of the request is its closing tag.
class RequestReader {
public:
    enum State { kIncomplete, kComplete, kTooLong };

    explicit RequestReader(std::size_t maxBytes) : maxBytes(maxBytes) {}

    // Adds received bytes; kComplete once "</ov_request>" has arrived (bytes after it are
    // ignored), kTooLong when the bound is passed without it. Further calls keep the state.
    State Append(const char* data, std::size_t size);

    State Current() const { return state; }
    const std::string& Request() const { return received; }

private:
    std::size_t maxBytes;
    std::string received;
    State state = kIncomplete;
};
