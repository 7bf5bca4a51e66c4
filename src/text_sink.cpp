#include "text_sink.hpp"

#include "platform.hpp"

#include <string>
#include <utility>

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

// The length of the valid UTF-8 sequence at the start of `text`, 0 when there
// is none. The second byte's range rules out overlong forms, surrogates and
// code points past U+10FFFF.
std::size_t utf8_length(std::string_view text) {
    const unsigned char lead = byte_at(text, 0);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80) {
        return 1;
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
        return 0;
    }
    if (byte_at(text, 1) < low || byte_at(text, 1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte_at(text, i) < 0x80 || byte_at(text, i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

constexpr std::string_view hex = "0123456789ABCDEF";

// A byte 80-9F in brackets: a C1 control by its code point, <U+009B>; in a set
// where it is a letter, by its value, <9B>.
std::string bracketed(std::string_view prefix, unsigned char c) {
    return std::string{'<'}.append(prefix) + hex[c >> 4] + hex[c & 0xF] + '>';
}

// How the display shows the bytes at the start of `text`, and how many of them
// that is; nothing when the first byte goes out as it is.
std::pair<std::string, std::size_t> shown_form(const Display& display, std::string_view text) {
    const unsigned char c = byte_at(text, 0);
    if (is_shown_control(c)) {
        return {std::string{'^', static_cast<char>(c ^ 0x40)}, 1}; // ESC 1B -> ^[
    }
    switch (display.kind) {
    case Display::Kind::utf8_terminal: {
        const std::size_t length = utf8_length(text);
        if (c == 0xC2 && is_c1(byte_at(text, 1))) { // a C1 control: 0xC2 and its code
            return {bracketed("U+00", byte_at(text, 1)), 2};
        }
        if (length == 0 && is_c1(c)) {
            return {bracketed("U+00", c), 1};
        }
        return {std::string{}, length == 0 ? 1 : length}; // a letter stays whole
    }
    case Display::Kind::c1_terminal:
        if (is_c1(c) && ((display.c1_bytes >> (c - 0x80)) & 1U) != 0) {
            return {bracketed("U+00", c), 1};
        }
        break;
    case Display::Kind::single_byte_letters:
        if (is_c1(c)) {
            return {bracketed("", c), 1};
        }
        break;
    case Display::Kind::as_is:
    case Display::Kind::controls_only:
        break;
    }
    return {std::string{}, 1};
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
    if (display_.decode != nullptr) {
        write_shown(display_.decode(text));
        return;
    }
    write_shown(text);
}

void TextSink::write_shown(std::string_view text) {
    std::size_t unwritten = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto [shown, length] = shown_form(display_, text.substr(i));
        if (!shown.empty()) {
            write(text.substr(unwritten, i - unwritten));
            write(shown);
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
