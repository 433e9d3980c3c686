// Splitting and trimming of the text fields of a metadata block.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// "" => no fields; "a,,b" => "a", "", "b"; "a," => "a", ""; ",a" => "", "a".
// The fields point into the text.
std::vector<std::string_view> SplitList(std::string_view text, char separator = ',');

// Removes spaces (0x20 only) from both ends: " a b " => "a b"; "\ta\t" stays. The result
// points into the text, also when it is empty.
std::string_view TrimSpaces(std::string_view text);

// Erases "urn:" until none is left, so "uurn:rn:x" => "x".
void RemoveEveryUrn(std::string& text);
