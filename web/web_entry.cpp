// The page's way into the tool's core: it hands over a lap's leading bytes
// and its true length, and gets back what the console tool writes to a file
// for that lap, or the same with the controls shown for the page to decode.

#include "hotlap_layout.hpp"
#include "lap_report.hpp"
#include "text_sink.hpp"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace {

std::vector<std::byte> input;
std::string report;

} // namespace

extern "C" {

// How many leading bytes of a file the report can read: the page reads no
// more, however long the file.
std::size_t zvk_bytes_needed() {
    return hotlap::layout::complete_length;
}

// Room for `count` bytes of the lap, which the page copies in before asking
// for the report.
std::byte* zvk_input(std::size_t count) {
    input.assign(count, std::byte{0});
    return input.data();
}

// Reports on the bytes handed in, the first bytes of a file `length` bytes
// long (a JavaScript number, exact up to 2^53). `shown` asks for the controls
// in caret form. Answers the outcome's number (see outcome.hpp); the text is
// at zvk_report_text(), zvk_report_size() bytes long.
int zvk_report(double length, bool shown) {
    // A length the page cannot have sent (negative, NaN) would make the
    // conversion undefined, so it counts as none.
    const std::uint64_t file_length =
        length > 0 && length < 0x1p63 ? static_cast<std::uint64_t>(length) : 0;
    StringSink out{shown ? Display::controls_only : Display::as_is};
    print_banner(out);
    Outcome outcome = Outcome::not_a_hotlap;
    if (print_size_line(file_length, out) == SizeVerdict::load) {
        outcome = report_on_lap(hotlap::Reader{std::span<const std::byte>{input}}, out);
    }
    report = out.text();
    return static_cast<int>(outcome);
}

const char* zvk_report_text() {
    return report.data();
}

std::size_t zvk_report_size() {
    return report.size();
}

} // extern "C"
