// Conversions between wide text and narrow text in the thread's ANSI code page.
#pragma once

#include <string>

namespace win {

// Wide text to narrow text in the calling thread's ANSI code page (CP_THREAD_ACP).
std::string ToNarrow(const std::wstring& text);
// Narrow text in the calling thread's ANSI code page to wide text.
std::wstring ToWide(const std::string& text);

}  // namespace win
