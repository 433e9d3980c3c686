// How brimwell-inspect reads replies that are neither UTF-8 nor UTF-16.
#pragma once

#include "addon/metadata/reply_text.h"

// As the add-on reads them: on Windows in the code page of their declared encoding or the
// thread's ANSI code page; elsewhere, where there is no ANSI code page, as Windows-1252.
LegacyTextDecoder InspectLegacyDecoder();
