// Decoding the body of a JSON string literal into bytes.
#pragma once

#include <string>

namespace json {

// Appends the decoded body (the text between the quotes) to out. \uXXXX is written in
// UTF-8 one escape at a time, so a surrogate pair gives two three-byte sequences.
// Never reads outside [first, last), even for escapes the grammar would have refused.
void unescape(const char* first, const char* last, std::string& out);

}  // namespace json
