// Telling an https page by its URL, and switching the static script URL's scheme to match.
#pragma once

#include <string>

// Plain, case-sensitive substring search for "https" anywhere in the text.
bool ContainsHttps(const std::wstring& text);

// True when the URL's own scheme is https (letter case ignored, as schemes are).
bool HasHttpsScheme(const std::wstring& url);

// Rewrites only the leading scheme: "http://h/p" <-> "https://h/p"; "http://h/https/x" keeps
// its path. A URL whose scheme is neither http nor https (or that has none) is left as it is.
void SwitchScriptScheme(std::wstring& url, bool toHttps);
