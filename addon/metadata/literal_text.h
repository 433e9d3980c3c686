// The inside of double-quoted string literals, for the cache text (JSON) and the configuration
// text (a script in the page).
#pragma once

#include <string>
#include <string_view>

enum class LiteralKind {
    kJson,    // read back by json::parse
    kScript,  // a JavaScript literal inside an HTML script element
};

// Appends UTF-8 text so that the literal reads back to exactly that text. Escaped: quote,
// backslash, control characters, and a surrogate on its own (both readers turn its \u escape
// back into that surrogate); for scripts also "<" (no "</script>" or "<!--" in the page) and
// U+2028, U+2029 (scripts end a line there). Other characters are copied; bytes that are not
// UTF-8 become U+FFFD, which is what UTF-16 (the registry's text, the page's) would make of them.
//   kScript: "say \"hi\"" => say \"hi\"   "a\nb" => a\nb   "</" => \u003c/   "Été" => Été
void AppendLiteralText(std::string& out, std::string_view text, LiteralKind kind);
