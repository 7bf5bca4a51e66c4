// The page's way into the tool's core: it hands over a lap's leading bytes
// and its true length, and gets back what the console tool writes to a file
// for that lap, or the same with the controls shown for the page to decode,
// and how the run ended. The ending reaches the page as the console tool's
// exit status and as a name that stays the same from one release to the
// next, never as a number of the core's enum:
//   "done"                    the whole report
//   "not_a_hotlap"            no signature, or the excluded format
//   "too_short"               a hotlap's start, shorter than the report reads
//   "too_long"                2 GiB or more, refused by its size
//   "front_rear_undecidable"  the wheels all on one axle (status 1)
// ("not_loaded", a file that could not be read, is the console's alone: the
// page reads the file itself.)

#include "hotlap_layout.hpp"
#include "lap_report.hpp"
#include "outcome.hpp"
#include "text_sink.hpp"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace {

std::vector<std::byte> input;
std::string report;
Outcome ending = Outcome::done;

const char* name_of(Outcome outcome) {
    switch (outcome) {
    case Outcome::done:
        return "done";
    case Outcome::not_loaded:
        return "not_loaded";
    case Outcome::not_a_hotlap:
        return "not_a_hotlap";
    case Outcome::too_short:
        return "too_short";
    case Outcome::too_long:
        return "too_long";
    case Outcome::front_rear_undecidable:
        return "front_rear_undecidable";
    }
    return "";
}

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
// in caret form. Answers the exit status the console tool ends with for this
// lap; the text is at zvk_report_text(), zvk_report_size() bytes long, and
// the ending's name at zvk_ending().
int zvk_report(double length, bool shown) {
    // A length the page cannot have sent (negative, NaN) would make the
    // conversion undefined, so it counts as none.
    const std::uint64_t file_length =
        length > 0 && length < 0x1p63 ? static_cast<std::uint64_t>(length) : 0;
    StringSink out{shown ? Display::controls_only : Display::as_is};
    ending = report_on_file(file_length, hotlap::Reader{std::span<const std::byte>{input}}, out);
    report = out.text();
    return exit_status(ending);
}

const char* zvk_report_text() {
    return report.data();
}

std::size_t zvk_report_size() {
    return report.size();
}

// The name of the last report's ending, NUL-terminated (see the top).
const char* zvk_ending() {
    return name_of(ending);
}

} // extern "C"
