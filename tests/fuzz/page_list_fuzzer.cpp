// Fuzzes the demo's page list: any text either gives page trees or a PageListError, nothing
// else; a tree that was read, written out again one URL a line, reads back to the same tree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "tools/demo/page_list.h"

namespace {

using demo::PageSpec;

bool Same(const std::vector<PageSpec>& a, const std::vector<PageSpec>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].url != b[i].url || a[i].crossDomain != b[i].crossDomain ||
            !Same(a[i].frames, b[i].frames))
            return false;
    return true;
}

void Write(const std::vector<PageSpec>& pages, std::size_t depth, std::string& out) {
    for (const PageSpec& page : pages) {
        if (page.url.empty() || page.url.find_first_of(" \t\r\n") != std::string::npos ||
            (depth == 0 && page.crossDomain))
            std::abort();
        out += std::string(2 * depth, ' ') + page.url + (page.crossDomain ? " cross-domain\n" : "\n");
        Write(page.frames, depth + 1, out);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<PageSpec> pages;
    try {
        std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
        pages = demo::ReadPageList(in);
    } catch (const demo::PageListError&) {
        return 0;
    } catch (const std::bad_alloc&) {
        return 0;
    } catch (...) {
        std::abort();
    }
    std::string text;
    Write(pages, 0, text);
    std::istringstream again(text);
    if (!Same(pages, demo::ReadPageList(again))) std::abort();
    return 0;
}
