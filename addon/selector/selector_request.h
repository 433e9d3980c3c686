// The one request the add-on sends to the selector service: 39 bytes of ASCII, nothing around them.
#pragma once

#include <cstddef>

namespace selector {

// No declaration, line end, terminator or length prefix: the service recognises the end of the
// request by its closing tag, and the "url" element holds the three letters url for every page.
constexpr char kSelectorRequest[] = "<ov_request><url>url</url></ov_request>";
constexpr std::size_t kSelectorRequestSize = sizeof(kSelectorRequest) - 1;
static_assert(kSelectorRequestSize == 39, "the request is exactly 39 bytes");

}  // namespace selector
