// The demo's page list: page trees written one URL a line, frames nested by indentation.
#pragma once

#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

namespace demo {

struct PageSpec {
    std::string url;
    bool crossDomain = false;  // a frame of another security domain
    std::vector<PageSpec> frames;
};

// A line of the page list that cannot be read; what() names the line.
class PageListError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads top-level pages and their frames. Each line holds a URL, optionally followed by the
// word "cross-domain"; two more leading spaces than the line above make it a frame of that
// page. Blank lines and lines starting with "#" are skipped.
//   http://a.test/            page
//     http://b.test/          frame 0 of a.test
//       http://c.test/        frame 0 of b.test
//     http://d.test/ cross-domain
std::vector<PageSpec> ReadPageList(std::istream& in);

}  // namespace demo
