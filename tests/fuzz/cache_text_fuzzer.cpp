// Fuzzes ReadCacheText against the tree reader alone: for any text, and for the cache text of a
// random model with one byte changed, inserted or removed, both end with the same model and
// the same fault; a model's own cache text must also take the compact reader and read back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>

#include <boost/any.hpp>
#include <fuzzer/FuzzedDataProvider.h>

#include "addon/metadata/cache_text.h"
#include "addon/metadata/compact_cache_text.h"

namespace {

struct Reading {
    MetadataModel model;
    bool raised = false;
};

template <class Read>
Reading ReadWith(Read read, const std::string& text) {
    Reading reading;
    try {
        read(text, reading.model);
    } catch (const boost::bad_any_cast&) {
        reading.raised = true;
    }
    return reading;
}

void Compare(const std::string& text) {
    const Reading both = ReadWith(
        [](const std::string& t, MetadataModel& m) { ReadCacheText(t, m); }, text);
    const Reading tree = ReadWith(ReadCacheTextByTree, text);
    if (text.empty() ? !both.model.Empty()
                     : (both.raised != tree.raised || both.model != tree.model))
        std::abort();
}

// Text that JSON escapes in every way: quotes, backslashes, controls, surrogates, non-UTF-8.
std::string Piece(FuzzedDataProvider& input) {
    static const char* const kPieces[] = {"a", "\"", "\\", "/", "\n", "\x01", "\xC3\xA9",
                                          "\xED\xA0\xBD", "\xFF", "sites", "data", ""};
    std::string text;
    for (int n = input.ConsumeIntegralInRange<int>(0, 4); n > 0; --n)
        text += kPieces[input.ConsumeIntegralInRange<int>(0, 11)];
    return text;
}

std::string WrittenText(FuzzedDataProvider& input) {
    MetadataModel model;
    for (int n = input.ConsumeIntegralInRange<int>(0, 6); n > 0; --n) {
        const std::string ruleId = Piece(input);
        if (input.ConsumeBool()) model.AddSite(Piece(input), ruleId);
        if (input.ConsumeBool()) model.Data()[ruleId][Piece(input)] = Piece(input);
    }
    const std::string text = CacheText(model);
    MetadataModel compact;
    if (!ReadCompactCacheText(text, compact)) std::abort();
    MetadataModel tree;
    ReadCacheTextByTree(text, tree);
    if (compact != tree) std::abort();
    return text;
}

void Edit(FuzzedDataProvider& input, std::string& text) {
    static const char kBytes[] = {'"', '\\', ',', ':', '{', '}', '[', ']', ' ', '1', 'u'};
    const std::size_t at = input.ConsumeIntegralInRange<std::size_t>(0, text.size());
    const char byte = kBytes[input.ConsumeIntegralInRange<int>(0, 10)];
    switch (input.ConsumeIntegralInRange<int>(0, 2)) {
    case 0: text.insert(at, 1, byte); break;
    case 1: if (at < text.size()) text.erase(at, 1); break;
    default: if (at < text.size()) text[at] = byte; break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        if (size == 0 || data[0] != '#') {  // the bytes as a text
            Compare(std::string(reinterpret_cast<const char*>(data), size));
            return 0;
        }
        FuzzedDataProvider input(data + 1, size - 1);
        std::string text = WrittenText(input);
        while (input.remaining_bytes() > 0 && input.ConsumeBool()) Edit(input, text);
        Compare(text);
    } catch (const std::bad_alloc&) {
        // the one exception reading may raise besides the cast
    }
    return 0;
}
