// Splitting and trimming of the text fields of a metadata block.
#include "addon/metadata/text_fields.h"

std::vector<std::string_view> SplitList(std::string_view text, char separator) {
    std::vector<std::string_view> fields;
    if (text.empty())
        return fields;
    for (;;) {
        std::string_view::size_type end = text.find(separator);
        fields.push_back(text.substr(0, end));
        if (end == std::string_view::npos)
            return fields;
        text.remove_prefix(end + 1);
    }
}

std::string_view TrimSpaces(std::string_view text) {
    std::string_view::size_type first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return text.substr(text.size());  // empty, but still inside the text
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

void RemoveEveryUrn(std::string& text) {
    static const std::string kUrn = "urn:";
    // An erase can only form a new "urn:" that starts at most three bytes before the gap,
    // and nothing before the first occurrence changes, so the search resumes there.
    std::string::size_type at = text.find(kUrn);
    while (at != std::string::npos) {
        text.erase(at, kUrn.size());
        at = text.find(kUrn, at < 3 ? 0 : at - 3);
    }
}
