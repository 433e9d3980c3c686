// The joining rule shared by the library path, the data folder and the log path.
#include "runner/path_join.h"

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Length of the root name: "\\server" of a share, "X:" of a drive, or nothing.
std::size_t RootNameLength(const std::string& path) {
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])
        && (path.size() == 2 || !IsSeparator(path[2]))) {
        std::size_t end = 2;
        while (end < path.size() && !IsSeparator(path[end])) ++end;
        return end;
    }
    if (path.size() >= 2 && path[1] == ':') return 2;
    return 0;
}

}  // namespace

std::string ToNativePath(const std::string& path) {
    const std::size_t rootName = RootNameLength(path);
    std::string out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < rootName; ++i)
        out += IsSeparator(path[i]) ? '\\' : path[i];
    std::size_t i = rootName;
    if (i < path.size() && IsSeparator(path[i])) {
        out += '\\';                            // the root separator
        while (i < path.size() && IsSeparator(path[i])) ++i;
    }
    for (; i < path.size(); ++i)
        out += IsSeparator(path[i]) ? '\\' : path[i];
    return out;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return ToNativePath(name);
    const char last = folder.back();
    const bool folderEnds = IsSeparator(last) || last == ':';
    const bool nameStarts = name.empty() || IsSeparator(name.front());
    return ToNativePath(folderEnds || nameStarts ? folder + name : folder + '\\' + name);
}
