// A unified diff of two texts, line by line, as "diff -u" prints it.
#pragma once

#include <string>
#include <string_view>

namespace qorvcfg_tool {

// "--- from_label", "+++ to_label" and hunks with three lines of context;
// empty when the texts are equal.
std::string UnifiedDiff(std::string_view from, std::string_view to, const std::string &from_label,
                        const std::string &to_label);

}  // namespace qorvcfg_tool
