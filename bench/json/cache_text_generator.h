// Generated metadata cache texts of a chosen number of cards.
#pragma once

#include <string>

// One JSON object without white space, shaped like the add-on's cache text:
// {"sites":{"pattern":["rid",...],...},"data":{"rid":{"key":"value",...},...}}
// with patterns, rule ids and keys in ascending byte order. The same count gives the same text.
std::string MakeCacheText(int cards);
