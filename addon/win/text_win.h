// Conversions between wide text (UTF-16) and the add-on's narrow text (UTF-8).
#pragma once

#include <string>

namespace win {

// Wide text to UTF-8. A surrogate without its partner becomes U+FFFD; nothing else can be lost.
std::string ToNarrow(const std::wstring& text);
// UTF-8 to wide text. A byte sequence that is not UTF-8 becomes U+FFFD, never taking a following
// valid character with it.
std::wstring ToWide(const std::string& text);
// Text in the given code page (CP_THREAD_ACP for the thread's ANSI code page) to wide text; bytes
// that the code page does not define become its default character.
std::wstring WideFromCodePage(const std::string& text, unsigned codePage);

}  // namespace win
