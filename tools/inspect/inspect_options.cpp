// Reading brimwell-inspect's command line.
#include "tools/inspect/inspect_options.h"

const char kInspectUsage[] =
    "usage: brimwell-inspect [--url URL] [--template TEXT] [--default-rule-id ID] [FILE|-]\n"
    "       brimwell-inspect --state [--url URL]\n"
    "       brimwell-inspect --fetch [--host H] [--port P] [--url URL] [--template TEXT]\n"
    "                        [--default-rule-id ID]\n"
    "Reads a selector reply (XML) or a metadata cache text (JSON) from FILE or standard input\n"
    "and prints the metadata as cache text. With --url it also prints the page's host, whether\n"
    "it matches, the matched rule ids and the configuration text put into the page.\n"
    "--state prints the add-on's settings and cache on this machine and the refresh decision of\n"
    "its next page (Windows). --fetch holds one conversation with the selector service and\n"
    "prints how it ended and the cards it yields; it never writes the cache.\n";

namespace {

bool ParsePort(const std::string& text, std::uint32_t& port) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned long value = std::stoul(text);
    if (value < 1 || value > 65535) return false;
    port = static_cast<std::uint32_t>(value);
    return true;
}

bool SetMode(InspectOptions& options, InspectMode mode) {
    if (options.mode != InspectMode::kFile) return false;  // one mode at most
    options.mode = mode;
    return true;
}

// The options each mode accepts beyond --url.
bool FitsMode(const InspectOptions& o, bool haveInput) {
    switch (o.mode) {
    case InspectMode::kFile:
        return !o.haveHost && !o.havePort;
    case InspectMode::kState:
        return !haveInput && !o.haveHost && !o.havePort && !o.haveTemplate && !o.haveDefaultRuleId;
    case InspectMode::kFetch:
        return !haveInput;
    }
    return false;
}

}  // namespace

bool ParseInspectOptions(const std::vector<std::string>& args, InspectOptions& options) {
    bool haveInput = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return true;
        }
        if (arg == "--state" || arg == "--fetch") {
            if (!SetMode(options, arg == "--state" ? InspectMode::kState : InspectMode::kFetch))
                return false;
            continue;
        }
        std::string* value = nullptr;
        bool* have = nullptr;
        if (arg == "--url") {
            value = &options.url, have = &options.haveUrl;
        } else if (arg == "--template") {
            value = &options.scriptTemplate, have = &options.haveTemplate;
        } else if (arg == "--default-rule-id") {
            value = &options.defaultRuleId, have = &options.haveDefaultRuleId;
        } else if (arg == "--host") {
            value = &options.host, have = &options.haveHost;
        } else if (arg == "--port") {
            if (++i == args.size() || !ParsePort(args[i], options.port)) return false;
            options.havePort = true;
            continue;
        } else if ((arg.size() > 1 && arg[0] == '-') || haveInput) {
            return false;
        } else {
            options.input = arg;
            haveInput = true;
            continue;
        }
        if (++i == args.size()) return false;
        *value = args[i];
        *have = true;
    }
    return FitsMode(options, haveInput);
}
