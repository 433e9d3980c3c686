// Reading a reply or a cache text from a file or standard input, as the add-on would read it.
#include "tools/inspect/file_mode.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "addon/metadata/cache_text.h"
#include "addon/metadata/registration_defaults.h"
#include "addon/metadata/selector_reply.h"
#include "addon/metadata/xml_bounds.h"
#include "tools/inspect/legacy_decoder.h"
#include "tools/inspect/page_report.h"

namespace {

bool ReadInput(const std::string& name, std::string& text) {
    if (name == "-") {
#ifdef _WIN32
        _setmode(_fileno(stdin), _O_BINARY);  // the bytes as they are, CR included
#endif
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return !std::cin.bad();
    }
    std::ifstream file(std::filesystem::u8path(name), std::ios::binary);
    if (!file) return false;
    text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

// A cache text is a JSON object; anything else is taken for a selector reply.
bool LooksLikeCacheText(const std::string& text) {
    std::string::size_type first = text.find_first_not_of(" \t\r\n\v\f");
    return first != std::string::npos && text[first] == '{';
}

int Fail(std::ostream& err, const std::string& message) {
    err << "brimwell-inspect: " << message << "\n";
    return 1;
}

}  // namespace

int RunFileMode(const InspectOptions& options, std::ostream& out, std::ostream& err) {
    std::string text;
    if (!ReadInput(options.input, text))
        return Fail(err, "cannot read " +
                             (options.input == "-" ? std::string("standard input") : options.input));
    if (text.empty()) return Fail(err, "the input is empty");

    MetadataModel model;
    if (LooksLikeCacheText(text)) {
        if (TryReadCacheText(text, model) != kCacheRead)
            return Fail(err, "the input is not a readable metadata cache text (JSON)");
    } else {
        const std::string ruleId =
            options.haveDefaultRuleId ? options.defaultRuleId : BRIMWELL_DEFAULT_RULE_ID;
        if (ModelFromReply(text, ruleId, InspectLegacyDecoder(), model) != ReplyUse::kCards)
            return Fail(err, "the input is not a readable selector reply (well-formed XML, at most " +
                                 std::to_string(kMaxReplyNesting) + " elements deep and " +
                                 std::to_string(kMaxReplyAttributes) + " attributes on one element)");
    }
    out << CacheText(model) << "\n";
    if (options.haveUrl)
        PrintPage(options.url,
                  options.haveTemplate ? options.scriptTemplate : BRIMWELL_DEFAULT_DYNAMIC_SCRIPT,
                  model, out);
    return out.good() ? 0 : 1;
}
