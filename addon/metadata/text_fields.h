// Splitting and trimming of the text fields of a metadata block.
#pragma once

#include <string>
#include <vector>

// "" => no fields; "a,,b" => "a", "", "b"; "a," => "a", ""; ",a" => "", "a".
std::vector<std::string> SplitList(const std::string& text, char separator = ',');

// Removes spaces (0x20 only) from both ends: " a b " => "a b"; "\ta\t" stays.
std::string TrimSpaces(const std::string& text);

// Erases "urn:" until none is left, so "uurn:rn:x" => "x".
void RemoveEveryUrn(std::string& text);
