// The code page a legacy selector reply is read in, and the add-on's decoder for such replies.
#pragma once

#include <string>

// The Windows code page of an encoding name, ignoring letter case ("windows-1252", "Shift_JIS",
// "ISO-8859-2", ...); CP_THREAD_ACP (the thread's ANSI code page) for "", for a name not known
// here and for a code page this system does not have.
unsigned CodePageOfEncoding(const std::string& name);

// The bytes read in the code page of the declared encoding, as UTF-8.
std::string Utf8FromLegacyReply(const std::string& bytes, const std::string& declaredEncoding);
