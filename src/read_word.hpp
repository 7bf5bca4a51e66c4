// The name typed at the prompt: one word, as scanf's "%s" takes it. Every
// system reads its characters its own way and splits them here.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace platform {

// Far above the longest name any system opens (32767 UTF-16 units on
// Windows), so no real name is refused, and no input makes the tool grow.
inline constexpr std::size_t max_typed_name = std::size_t{32} << 10;

constexpr bool is_white_space(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Skips leading white space, then takes characters up to the next white space
// or the end of input. `next` gives one character, or a negative value at the
// end of input. Nothing when input ends before a word, or when the word is
// longer than `max_typed_name`: then not one character more is read.
template <class Char, class Next> std::optional<std::basic_string<Char>> read_word(Next next) {
    int c = next();
    while (c >= 0 && is_white_space(c)) {
        c = next();
    }
    std::basic_string<Char> word;
    for (; c >= 0 && !is_white_space(c); c = next()) {
        if (word.size() == max_typed_name) {
            return std::nullopt;
        }
        word.push_back(static_cast<Char>(c));
    }
    if (word.empty()) {
        return std::nullopt;
    }
    return word;
}

} // namespace platform
