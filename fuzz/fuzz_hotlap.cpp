// Feeds arbitrary bytes through the report on a loaded file, as the tool runs
// it, once for each display, and stops on any output that does not end the
// way its outcome says, that a terminal could take as a command, or that
// holds a character that reorders a line, where that is shown; and, for the
// displays that read names in their letters, any that is not UTF-8.
#include "lap_report.hpp"
#include "report_endings.hpp"
#include "text_sink.hpp"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace {

bool is_c1(unsigned char c) {
    return c >= 0x80 && c <= 0x9F;
}

bool is_continuation(std::string_view text, std::size_t i) {
    return i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
}

// Whether the byte 0x80-0x9F at `i` is the tail of a UTF-8 letter (not the
// C1 pair C2 80-9F): its lead is two or three bytes back, before the
// continuation bytes, and no longer than the sequence it starts.
bool ends_utf8_letter(std::string_view text, std::size_t i) {
    for (std::size_t back = 1; back <= 3 && back <= i; ++back) {
        const auto lead = static_cast<unsigned char>(text[i - back]);
        if ((lead & 0xC0) == 0x80) {
            continue;
        }
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
        bool whole = length > back && lead != 0xC2;
        for (std::size_t k = 1; whole && k < length; ++k) {
            whole = is_continuation(text, i - back + k);
        }
        return whole;
    }
    return false;
}

// Whether `text` at `i` spells a character that reorders the line around it:
// ALM (D8 9C), LRM and RLM (E2 80 8E-8F), U+202A-U+202E (E2 80 AA-AE) or
// U+2066-U+2069 (E2 81 A6-A9). Its lead byte continues no other character,
// so a terminal reads it so whatever comes before.
bool reorders_at(std::string_view text, std::size_t i) {
    const auto at = [&](std::size_t k) {
        return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
    };
    const bool mark = at(0) == 0xE2 && at(1) == 0x80 && (at(2) == 0x8E || at(2) == 0x8F);
    const bool embedding = at(0) == 0xE2 && at(1) == 0x80 && at(2) >= 0xAA && at(2) <= 0xAE;
    const bool isolate = at(0) == 0xE2 && at(1) == 0x81 && at(2) >= 0xA6 && at(2) <= 0xA9;
    return mark || embedding || isolate || (at(0) == 0xD8 && at(1) == 0x9C);
}

// Whether `text` is UTF-8: no stray byte, no character cut short, no
// overlong form, no surrogate, nothing past U+10FFFF.
bool is_utf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80   ? 1
                                   : lead < 0xC2 ? 0
                                   : lead < 0xE0 ? 2
                                   : lead < 0xF0 ? 3
                                   : lead < 0xF5 ? 4
                                                 : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        std::uint32_t code_point = lead & (length == 1 ? 0x7FU : 0xFFU >> (length + 1));
        for (std::size_t k = 1; k < length; ++k) {
            if (!is_continuation(text, i + k)) {
                return false;
            }
            code_point = code_point << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3FU);
        }
        constexpr std::uint32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code_point < shortest[length] || (code_point >= 0xD800 && code_point <= 0xDFFF) ||
            code_point > 0x10FFFF) {
            return false;
        }
        i += length;
    }
    return true;
}

// Whether a terminal shown `text` receives no control character but the
// padding NUL and the tool's own TAB and LF: no other C0 control, no DEL, in
// UTF-8 no C1 control (C2 80-9F), no byte 80-9F outside a letter and no
// character that reorders the line, in a set with C1 controls of one byte
// none of those. A web page gets no NUL either, and a display that reads
// names in their letters UTF-8 only.
bool is_safe_on(Display display, std::string_view text) {
    const bool utf8 =
        display.kind == Display::Kind::utf8_terminal || display.kind == Display::Kind::web_page;
    if (display.from_code_page != nullptr && !is_utf8(text)) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool nul = c == '\0' && display.kind == Display::Kind::web_page;
        const bool c0 = c < 0x20 && c != '\0' && c != '\t' && c != '\n';
        const bool stray =
            utf8 && ((is_c1(c) && !ends_utf8_letter(text, i)) || reorders_at(text, i));
        const bool byte_c1 = display.kind == Display::Kind::c1_terminal && is_c1(c) &&
                             ((display.c1_bytes >> (c - 0x80)) & 1U) != 0;
        const bool letter_c1 = display.kind == Display::Kind::single_byte_letters && is_c1(c);
        if (nul || c0 || c == 0x7F || stray || byte_c1 || letter_c1) {
            return false;
        }
    }
    return true;
}

// The code page of the displays that read names in their letters: Latin-1,
// but 0xFD and 0xFE are the marks LRM and RLM, as in Windows' Hebrew and
// Arabic code pages, so that a character that reorders a line can come from
// a code page too.
std::string from_latin1_with_marks(std::string_view bytes) {
    std::string utf8;
    for (const char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        if (c == 0xFD || c == 0xFE) {
            utf8 += c == 0xFD ? "\xE2\x80\x8E" : "\xE2\x80\x8F";
        } else if (c < 0x80) {
            utf8 += byte;
        } else {
            utf8 += static_cast<char>(0xC0 | c >> 6);
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return utf8;
}

// EUC-JP: every byte 0x80-0x9F a control but the single shifts 0x8E and
// 0x8F, which start letters.
constexpr Display euc_terminal{Display::Kind::c1_terminal, 0xFFFF'FFFFU & ~(3U << 14)};
// A Windows console, and the web page.
constexpr Display console{Display::Kind::utf8_terminal, 0, &from_latin1_with_marks};
constexpr Display web_page{Display::Kind::web_page, 0, &from_latin1_with_marks};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const hotlap::Reader file{std::as_bytes(std::span{data, size})};
    for (const Display display :
         {Display::as_is, web_page, Display::utf8_terminal, console, Display::c1_terminal,
          euc_terminal, Display::single_byte_letters}) {
        StringSink out{display};
        const Outcome outcome = report_on_lap(file, out);
        if (!ends_soundly(outcome, out.text()) ||
            (display != Display::as_is && !is_safe_on(display, out.text()))) {
            __builtin_trap();
        }
    }
    return 0;
}
