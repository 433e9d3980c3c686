// Joins a folder and a name into one path in Windows native form (backslash separators).
#pragma once

#include <string>

// "C:\a" + "b" => "C:\a\b"; "C:/a/" + "b" => "C:\a\b"; "C:" + "b" => "C:b"; "" + "b" => "b";
// "//srv/share" + "b" => "\\srv\share\b"; "C:\\\a" + "b" => "C:\a\b".
std::string JoinPath(const std::string& folder, const std::string& name);

// Every slash becomes a backslash; a leading pair of separators stays (a network share
// prefix), and separators repeated right after the root separator collapse into one.
std::string ToNativePath(const std::string& path);
