// brimwell-inspect: prints the model of a selector reply (XML) or metadata cache text (JSON)
// as cache text and, for a URL, the host, the match and the configuration text. Its text is
// UTF-8 throughout, as the add-on's is: arguments, file names and everything it prints.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#endif

#include "addon/metadata/cache_text.h"
#include "addon/metadata/configuration_text.h"
#include "addon/metadata/host_of_url.h"
#include "addon/metadata/metadata_response.h"
#include "addon/metadata/reply_text.h"
#include "addon/metadata/site_matching.h"
#ifdef _WIN32
#include "addon/metadata/reply_code_page_win.h"
#include "addon/win/text_win.h"
#endif

namespace {

const char kUsage[] =
    "usage: brimwell-inspect [--url URL] [--template TEXT] [--default-rule-id ID] [FILE|-]\n"
    "Reads a selector reply (XML) or a metadata cache text (JSON) from FILE or standard input\n"
    "and prints the metadata as cache text. With --url it also prints the page's host, whether\n"
    "it matches, the matched rule ids and the configuration text put into the page.\n";

struct Options {
    std::string url;
    bool haveUrl = false;
    std::string scriptTemplate = "var ZLVX_config ={${1}};";
    std::string defaultRuleId = "1024";
    std::string input = "-";
};

int Fail(const std::string& message) {
    std::cerr << "brimwell-inspect: " << message << "\n";
    return 1;
}

// The arguments in UTF-8. Windows hands main() its arguments in the ANSI code page, which cannot
// hold every character of a URL or a file name, so they are taken from the wide command line.
std::vector<std::string> Arguments(int argc, char** argv) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    for (int i = 0; wide && i < count; ++i) arguments.push_back(win::ToNarrow(wide[i]));
    ::LocalFree(wide);
    return arguments;
#else
    return std::vector<std::string>(argv, argv + argc);
#endif
}

// Returns false on a usage error.
bool ParseOptions(const std::vector<std::string>& args, Options& options, bool& help) {
    bool haveInput = false;
    const std::size_t argc = args.size();
    for (std::size_t i = 1; i < argc; ++i) {
        const std::string& arg = args[i];
        std::string* value = nullptr;
        if (arg == "--help" || arg == "-h") {
            help = true;
            return true;
        } else if (arg == "--url") {
            value = &options.url;
            options.haveUrl = true;
        } else if (arg == "--template") {
            value = &options.scriptTemplate;
        } else if (arg == "--default-rule-id") {
            value = &options.defaultRuleId;
        } else if ((arg.size() > 1 && arg[0] == '-') || haveInput) {
            return false;
        } else {
            options.input = arg;
            haveInput = true;
            continue;
        }
        if (++i == argc)
            return false;
        *value = args[i];
    }
    return true;
}

bool ReadInput(const std::string& name, std::string& text) {
    if (name == "-") {
#ifdef _WIN32
        _setmode(_fileno(stdin), _O_BINARY);  // the bytes as they are, CR included
#endif
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return !std::cin.bad();
    }
    std::ifstream file(std::filesystem::u8path(name), std::ios::binary);
    if (!file)
        return false;
    text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

// A cache text is a JSON object; anything else is taken for a selector reply.
bool LooksLikeCacheText(const std::string& text) {
    std::string::size_type first = text.find_first_not_of(" \t\r\n\v\f");
    return first != std::string::npos && text[first] == '{';
}

void PrintMatch(const Options& options, MetadataModel& model) {
    std::string host = HostOfUrl(options.url);
    MatchResult match = MatchSites(host, model);
    std::cout << "host: " << host << "\n";
    std::cout << "matched: " << (match.matched ? "yes" : "no") << "\n";
    std::cout << "rule ids:";
    if (match.matched)
        for (const RuleDataMap::value_type& rule : match.data)
            std::cout << " " << rule.first;
    std::cout << "\n";
    if (match.matched)
        std::cout << "configuration: " << ConfigurationText(options.scriptTemplate, match.data)
                  << "\n";
    else
        std::cout << "configuration: none (nothing is put into the page)\n";
}

// Legacy replies as the add-on reads them: on Windows in the code page of their declared encoding
// or the thread's ANSI code page; elsewhere, where there is no ANSI code page, as Windows-1252.
std::string Utf8FromLegacy(const std::string& bytes, const std::string& declaredEncoding) {
#ifdef _WIN32
    return Utf8FromLegacyReply(bytes, declaredEncoding);
#else
    (void)declaredEncoding;
    return Utf8FromWindows1252(bytes);
#endif
}

#ifdef _WIN32
// Standard output carries UTF-8 bytes. A console shows them as such only in code page 65001,
// so a console's output code page is switched for the run and given back afterwards.
class Utf8Console {
public:
    Utf8Console() : saved(::GetConsoleOutputCP()) {
        DWORD mode = 0;
        if (saved != 0 && ::GetConsoleMode(::GetStdHandle(STD_OUTPUT_HANDLE), &mode))
            switched = ::SetConsoleOutputCP(CP_UTF8) != 0;
    }
    ~Utf8Console() {
        if (switched) ::SetConsoleOutputCP(saved);
    }
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

private:
    UINT saved;
    bool switched = false;
};
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    Utf8Console console;
#endif
    Options options;
    bool help = false;
    if (!ParseOptions(Arguments(argc, argv), options, help)) {
        std::cerr << kUsage;
        return 2;
    }
    if (help) {
        std::cout << kUsage;
        return 0;
    }
    std::string text;
    if (!ReadInput(options.input, text))
        return Fail("cannot read " + (options.input == "-" ? "standard input" : options.input));
    if (text.empty())
        return Fail("the input is empty");

    MetadataModel model;
    if (LooksLikeCacheText(text)) {
        if (TryReadCacheText(text, model) != kCacheRead)
            return Fail("the input is not a readable metadata cache text (JSON)");
    } else {
        std::string reply = ReplyTextAsUtf8(text, Utf8FromLegacy);
        if (BuildModelFromResponse(reply, options.defaultRuleId, model) != kReplyRead)
            return Fail("the input is not a readable selector reply (well-formed XML)");
    }
    std::cout << CacheText(model) << "\n";
    if (options.haveUrl)
        PrintMatch(options, model);
    return std::cout.good() ? 0 : 1;
}
