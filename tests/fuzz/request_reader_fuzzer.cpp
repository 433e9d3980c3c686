// Fuzzes the stand-in's request reader against a plain search of everything received so far:
// however the bytes are split and whatever the bound, after each piece the state (and, once
// complete, the request) is what the first closing tag and the bound decide.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "tools/selector-standin/request_reader.h"

namespace {

const std::string kClosingTag = "</ov_request>";

RequestReader::State Expected(const std::string& received, std::size_t maxBytes) {
    const std::string::size_type tag = received.find(kClosingTag);
    if (tag != std::string::npos && tag + kClosingTag.size() <= maxBytes)
        return RequestReader::kComplete;
    return received.size() >= maxBytes || tag != std::string::npos ? RequestReader::kTooLong
                                                                    : RequestReader::kIncomplete;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::size_t maxBytes = input.ConsumeIntegralInRange<std::size_t>(0, 200);
    RequestReader reader(maxBytes);
    std::string received;
    RequestReader::State expected = RequestReader::kIncomplete;
    while (input.remaining_bytes() > 0) {
        const std::string piece =
            input.ConsumeBytesAsString(input.ConsumeIntegralInRange<std::size_t>(0, 40));
        received += piece;
        if (expected == RequestReader::kIncomplete) expected = Expected(received, maxBytes);
        if (reader.Append(piece.data(), piece.size()) != expected || reader.Current() != expected)
            std::abort();
    }
    if (expected == RequestReader::kComplete &&
        reader.Request() != received.substr(0, received.find(kClosingTag) + kClosingTag.size()))
        std::abort();
    return 0;
}
