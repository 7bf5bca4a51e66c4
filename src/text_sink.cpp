#include "text_sink.hpp"

#include "platform.hpp"

#include <array>

namespace {

bool is_shown_control(unsigned char c) {
    return (c != 0 && c < 0x20) || c == 0x7F;
}

bool is_c1(unsigned char c) {
    return c >= 0x80 && c <= 0x9F;
}

} // namespace

void TextSink::write_field(std::span<const std::byte> bytes) {
    const std::string_view text{reinterpret_cast<const char*>(bytes.data()), bytes.size()};
    if (display_.kind == Display::Kind::as_is) {
        write(text);
        return;
    }
    std::size_t unwritten = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        // In UTF-8 a C1 control is 0xC2 and its code; in an 8-bit set, its code
        // alone, and 0xC2 is a letter.
        const bool utf8_c1 = display_.kind == Display::Kind::terminal && c == 0xC2 &&
                             i + 1 < text.size() && is_c1(static_cast<unsigned char>(text[i + 1]));
        const bool byte_c1 = display_.kind == Display::Kind::c1_terminal && is_c1(c) &&
                             ((display_.c1_bytes >> (c - 0x80)) & 1U) != 0;
        if (!utf8_c1 && !byte_c1 && !is_shown_control(c)) {
            continue;
        }
        write(text.substr(unwritten, i - unwritten));
        if (utf8_c1 || byte_c1) {
            constexpr std::string_view hex = "0123456789ABCDEF";
            const auto code = utf8_c1 ? static_cast<unsigned char>(text[++i]) : c;
            const std::array<char, 8> shown{
                '<', 'U', '+', '0', '0', hex[code >> 4], hex[code & 0xF], '>'};
            write({shown.data(), shown.size()});
        } else {
            const std::array<char, 2> caret{'^', static_cast<char>(c ^ 0x40)}; // ESC 1B -> ^[
            write({caret.data(), caret.size()});
        }
        unwritten = i + 1;
    }
    write(text.substr(unwritten));
}

void StdoutSink::write(std::string_view text) {
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
