#include "text_sink.hpp"

#include "platform.hpp"

#include <algorithm>
#include <optional>
#include <string>

namespace {

bool is_shown_control(unsigned char c) {
    return (c != 0 && c < 0x20) || c == 0x7F;
}

bool is_c1(unsigned char c) {
    return c >= 0x80 && c <= 0x9F;
}

unsigned char byte_at(std::string_view text, std::size_t i) {
    return i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
}

// The UTF-8 sequence at the start of `text`: a whole character and its code
// point, or else the longest start of one (at least a byte), which a decoder
// reads as one U+FFFD. The second byte's range rules out overlong forms,
// surrogates and code points past U+10FFFF.
struct Utf8Sequence {
    std::size_t length;
    bool whole;
    char32_t code_point;
};

Utf8Sequence utf8_sequence(std::string_view text) {
    const unsigned char lead = byte_at(text, 0);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80) {
        return {1, true, lead};
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return {1, false, 0};
    }
    auto code_point = static_cast<char32_t>(lead & (0x7F >> length));
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char tail = byte_at(text, i);
        if (tail < (i == 1 ? low : 0x80) || tail > (i == 1 ? high : 0xBF)) {
            return {i, false, 0};
        }
        code_point = code_point << 6 | (tail & 0x3FU);
    }
    return {length, true, code_point};
}

bool is_utf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto sequence = utf8_sequence(text.substr(i));
        if (!sequence.whole) {
            return false;
        }
        i += sequence.length;
    }
    return true;
}

// `text` with every byte that is no part of a UTF-8 character replaced, as
// browsers' decoders do: each longest start of one that breaks off, and
// each other stray byte, as one U+FFFD.
std::string valid_utf8(std::string_view text) {
    std::string valid;
    for (std::size_t i = 0; i < text.size();) {
        const auto sequence = utf8_sequence(text.substr(i));
        valid.append(sequence.whole ? text.substr(i, sequence.length) : "\xEF\xBF\xBD");
        i += sequence.length;
    }
    return valid;
}

// A field in UTF-8, read in the letters it was written in. A program of the
// simulator's kind writes a name in its system's code page, or in UTF-8.
// UTF-8 is taken only when the name, the bytes before the first NUL, is
// valid UTF-8 and holds a character of more than one byte: the padding and
// junk after a name must not change how it is read, nor an ASCII name make
// the junk UTF-8.
std::string read_in_letters(std::string_view field, CodePageReader from_code_page) {
    const std::string_view name = field.substr(0, field.find('\0'));
    const bool multi_byte = std::any_of(
        name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    return multi_byte && is_utf8(name) ? valid_utf8(field) : from_code_page(field);
}

// Characters that a UTF-8 display shows by their code: the C1 controls,
// which a terminal obeys, and those that reorder the text around them, so
// that a name "U+200F 12 - 34" does not read "34 - 12": the embeddings and
// overrides U+202A-U+202E, the isolates U+2066-U+2069, and the marks LRM,
// RLM and ALM.
bool is_shown_by_code(char32_t c) {
    return (c >= 0x80 && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069) || c == 0x200E || c == 0x200F || c == 0x061C;
}

constexpr std::string_view hex = "0123456789ABCDEF";

// A character by its code point, <U+009B> or <U+202E>; a byte 80-9F of a set
// where it is a letter by its value, <9B>.
std::string bracketed(std::string_view prefix, char32_t value, int digits) {
    std::string shown{'<'};
    shown.append(prefix);
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
        shown += hex[(value >> shift) & 0xF];
    }
    return shown + '>';
}

std::string by_code(char32_t code_point) {
    return bracketed("U+", code_point, 4);
}

// How the display shows the bytes at the start of `text`: how many of them,
// and what stands instead, or nothing when they go out as they are.
struct ShownForm {
    std::size_t length;
    std::optional<std::string> instead;
};

ShownForm shown_form(const Display& display, std::string_view text) {
    const unsigned char c = byte_at(text, 0);
    if (is_shown_control(c)) {
        return {1, std::string{'^', static_cast<char>(c ^ 0x40)}}; // ESC 1B -> ^[
    }
    switch (display.kind) {
    case Display::Kind::web_page:
        if (c == 0) {
            return {1, ""};
        }
        [[fallthrough]];
    case Display::Kind::utf8_terminal: {
        const auto sequence = utf8_sequence(text);
        if (!sequence.whole) { // no letter: a byte 80-9F, which an 8-bit terminal obeys, is shown
            return {1, is_c1(c) ? std::optional{by_code(c)} : std::nullopt};
        }
        if (is_shown_by_code(sequence.code_point)) {
            return {sequence.length, by_code(sequence.code_point)};
        }
        return {sequence.length, std::nullopt}; // a letter stays whole
    }
    case Display::Kind::c1_terminal:
        if (is_c1(c) && ((display.c1_bytes >> (c - 0x80)) & 1U) != 0) {
            return {1, by_code(c)};
        }
        break;
    case Display::Kind::single_byte_letters:
        if (is_c1(c)) {
            return {1, bracketed("", c, 2)};
        }
        break;
    case Display::Kind::as_is:
    case Display::Kind::controls_only:
        break;
    }
    return {1, std::nullopt};
}

} // namespace

void TextSink::write_piece(Piece piece, std::string_view text) {
    piece_starts(piece);
    write(text);
    piece_ends();
}

void TextSink::write_field(std::span<const std::byte> bytes) {
    piece_starts(Piece::text);
    write_field_text(bytes);
    piece_ends();
}

void TextSink::write_field_text(std::span<const std::byte> bytes) {
    const std::string_view text{reinterpret_cast<const char*>(bytes.data()), bytes.size()};
    if (display_.kind == Display::Kind::as_is) {
        write(text);
        return;
    }
    if (display_.from_code_page != nullptr) {
        write_shown(read_in_letters(text, display_.from_code_page));
        return;
    }
    write_shown(text);
}

void TextSink::write_shown(std::string_view text) {
    std::size_t unwritten = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto [length, instead] = shown_form(display_, text.substr(i));
        if (instead) {
            write(text.substr(unwritten, i - unwritten));
            write(*instead);
            unwritten = i + length;
        }
        i += length;
    }
    write(text.substr(unwritten));
}

// A piece that fits goes out in one write, so that a console, which converts
// each write from UTF-8, never gets a letter cut in two.
void StdoutSink::write(std::string_view text) {
    if (text.size() > buffer_.size() - used_) {
        flush();
    }
    while (!text.empty()) {
        if (used_ == buffer_.size()) {
            flush();
        }
        const std::size_t copied = text.copy(buffer_.data() + used_, buffer_.size() - used_);
        used_ += copied;
        text.remove_prefix(copied);
    }
}

void StdoutSink::flush() {
    if (failure_ == 0 && !closed_) {
        failure_ = platform::write_output({buffer_.data(), used_});
    }
    used_ = 0;
}

void StdoutSink::flush_to_terminal() {
    if (terminal()) {
        flush();
    }
}

std::optional<int> StdoutSink::close() {
    flush();
    if (!closed_) {
        closed_ = true;
        // Closing reports what a file system could only tell at the end.
        const int failure = platform::close_output();
        failure_ = failure_ != 0 ? failure_ : failure;
    }
    return failure_ == 0 ? std::nullopt : std::optional<int>{failure_};
}
