// Reading the demo's page list.
#include "tools/demo/page_list.h"

#include <sstream>

namespace demo {
namespace {

const std::size_t kIndentPerLevel = 2;

struct PageLine {
    std::size_t depth;
    PageSpec page;
};

std::string Where(int lineNumber) { return "page list line " + std::to_string(lineNumber) + ": "; }

bool ReadPageLine(const std::string& line, int lineNumber, PageLine& out) {
    const std::size_t indent = line.find_first_not_of(' ');
    if (indent == std::string::npos || line[indent] == '#') return false;
    if (line.find('\t') != std::string::npos)
        throw PageListError(Where(lineNumber) + "indent with spaces, not tabs");
    if (indent % kIndentPerLevel != 0)
        throw PageListError(Where(lineNumber) + "indentation is not a multiple of two spaces");
    std::istringstream words(line.substr(indent));
    std::string flag, extra;
    words >> out.page.url >> flag >> extra;
    // Only white space (a form feed, say), or a comment after it.
    if (out.page.url.empty() || out.page.url[0] == '#') return false;
    if (!extra.empty() || (!flag.empty() && flag != "cross-domain"))
        throw PageListError(Where(lineNumber) + "expected a URL, optionally followed by cross-domain");
    out.page.crossDomain = !flag.empty();
    out.depth = indent / kIndentPerLevel;
    return true;
}

// The page that a line of the given depth belongs to: the last page one level up.
PageSpec& ParentAt(std::vector<PageSpec>& pages, std::size_t depth) {
    PageSpec* parent = &pages.back();
    for (std::size_t level = 1; level < depth; ++level) parent = &parent->frames.back();
    return *parent;
}

}  // namespace

std::vector<PageSpec> ReadPageList(std::istream& in) {
    std::vector<PageSpec> pages;
    std::size_t previousDepth = 0;
    std::string line;
    for (int lineNumber = 1; std::getline(in, line); ++lineNumber) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        PageLine entry;
        if (!ReadPageLine(line, lineNumber, entry)) continue;
        if (entry.depth == 0) {
            if (entry.page.crossDomain)
                throw PageListError(Where(lineNumber) + "only a frame can be cross-domain");
            pages.push_back(entry.page);
        } else {
            if (pages.empty() || entry.depth > previousDepth + 1)
                throw PageListError(Where(lineNumber) + "frame nested deeper than its page");
            ParentAt(pages, entry.depth).frames.push_back(entry.page);
        }
        previousDepth = entry.depth;
    }
    if (pages.empty()) throw PageListError("page list holds no page");
    return pages;
}

}  // namespace demo
