// The command line of brimwell-inspect: its three modes and their options.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class InspectMode {
    kFile,   // a reply or cache text from a file or standard input
    kState,  // the live settings and cache, as the add-on's next page reads them
    kFetch,  // one conversation with the selector service
};

struct InspectOptions {
    InspectMode mode = InspectMode::kFile;
    bool help = false;
    bool haveUrl = false;
    std::string url;
    bool haveTemplate = false;
    std::string scriptTemplate;
    bool haveDefaultRuleId = false;
    std::string defaultRuleId;
    bool haveHost = false;
    std::string host;
    bool havePort = false;
    std::uint32_t port = 0;
    std::string input = "-";
};

extern const char kInspectUsage[];

// Arguments in UTF-8, the program's name first. False on a usage error: an unknown option, a
// missing value, a port that is not 1 to 65535, or options of another mode (--state takes only
// --url; --host and --port belong to --fetch; FILE to the file mode).
bool ParseInspectOptions(const std::vector<std::string>& args, InspectOptions& options);
