// Feeds arbitrary bytes through the report on a loaded file, as the tool runs
// it, once for each display, and stops on any output that does not end the
// way its outcome says, or that a terminal could take as a command.
#include "lap_report.hpp"
#include "report_endings.hpp"
#include "text_sink.hpp"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace {

bool is_c1(unsigned char c) {
    return c >= 0x80 && c <= 0x9F;
}

// Whether a terminal shown `text` receives no control character but the
// padding NUL and the tool's own TAB and LF: no other C0 control, no DEL, in
// UTF-8 no C1 control (C2 80-9F), in a set with C1 controls of one byte none
// of those.
bool is_safe_on(Display display, std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool c0 = c < 0x20 && c != '\0' && c != '\t' && c != '\n';
        const bool utf8_c1 = display.kind == Display::Kind::terminal && c == 0xC2 &&
                             i + 1 < text.size() && is_c1(static_cast<unsigned char>(text[i + 1]));
        const bool byte_c1 = display.kind == Display::Kind::c1_terminal && is_c1(c) &&
                             ((display.c1_bytes >> (c - 0x80)) & 1U) != 0;
        if (c0 || c == 0x7F || utf8_c1 || byte_c1) {
            return false;
        }
    }
    return true;
}

// EUC-JP: every byte 0x80-0x9F a control but the single shifts 0x8E and
// 0x8F, which start letters.
constexpr Display euc_terminal{Display::Kind::c1_terminal, 0xFFFF'FFFFU & ~(3U << 14)};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const hotlap::Reader file{std::as_bytes(std::span{data, size})};
    for (const Display display :
         {Display::as_is, Display::terminal, Display::c1_terminal, euc_terminal}) {
        StringSink out{display};
        const Outcome outcome = report_on_lap(file, out);
        if (!ends_soundly(outcome, out.text()) ||
            (display != Display::as_is && !is_safe_on(display, out.text()))) {
            __builtin_trap();
        }
    }
    return 0;
}
