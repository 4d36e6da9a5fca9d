#include "form/HeadingWords.h"

namespace form {

std::vector<std::string> headingWords(const std::string& caption) {
    std::vector<std::string> words;
    std::string word;
    int blanks = 0;
    for (const char c : caption) {
        if (c == ' ') {
            ++blanks;
            continue;
        }
        if (blanks >= 2 && !word.empty()) {
            words.push_back(word);
            word.clear();
        } else if (blanks == 1 && !word.empty()) {
            word += ' ';
        }
        blanks = 0;
        word += c;
    }
    if (!word.empty()) {
        words.push_back(word);
    }
    return words;
}

}  // namespace form
