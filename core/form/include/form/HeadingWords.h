#pragma once

#include <string>
#include <vector>

namespace form {

// Splits a heading caption into its column words: they are set apart by runs of two or more
// blanks, while a single blank belongs to the word ("Detect Step"). Never fails.
std::vector<std::string> headingWords(const std::string& caption);

}  // namespace form
