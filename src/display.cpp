#include "display.hpp"

#include <algorithm>

namespace {

// Character set names are written in either case.
bool holds_ignoring_case(std::string_view text, std::string_view part) {
    const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    const auto same = [&](char a, char b) { return lower(a) == lower(b); };
    return std::search(text.begin(), text.end(), part.begin(), part.end(), same) != text.end();
}

} // namespace

bool names_utf8(std::string_view name) {
    return holds_ignoring_case(name, "UTF-8") || holds_ignoring_case(name, "UTF8");
}

Display terminal_display(std::string_view charset, std::size_t max_char_bytes,
                         std::optional<std::uint32_t> c1_bytes_read) {
    if (names_utf8(charset)) {
        return Display::utf8_terminal;
    }
    if (max_char_bytes > 1) {
        // In GB18030 or EUC-JP those bytes start or end letters, which a
        // terminal there (through luit) keeps whole: the set's own reading
        // decides. A converter that does not work tells no letter apart.
        return {Display::Kind::c1_terminal, c1_bytes_read.value_or(Display::c1_terminal.c1_bytes)};
    }
    if (holds_ignoring_case(charset, "8859") || holds_ignoring_case(charset, "ASCII") ||
        charset == "ANSI_X3.4-1968") {
        return Display::c1_terminal;
    }
    return Display::single_byte_letters;
}
