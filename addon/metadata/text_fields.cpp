// Splitting and trimming of the text fields of a metadata block.
#include "addon/metadata/text_fields.h"

std::vector<std::string> SplitList(const std::string& text, char separator) {
    std::vector<std::string> fields;
    if (text.empty())
        return fields;
    std::string::size_type start = 0;
    for (;;) {
        std::string::size_type end = text.find(separator, start);
        if (end == std::string::npos) {
            fields.push_back(text.substr(start));
            return fields;
        }
        fields.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

std::string TrimSpaces(const std::string& text) {
    std::string::size_type first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
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
