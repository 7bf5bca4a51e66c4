// Feeds arbitrary bytes through the report on a loaded file, as the tool runs
// it, and stops on any output that does not end the way its outcome says.
#include "lap_report.hpp"
#include "report_endings.hpp"
#include "text_sink.hpp"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    StringSink out;
    const Outcome outcome =
        report_on_lap(hotlap::Reader{std::as_bytes(std::span{data, size})}, out);
    if (!ends_soundly(outcome, out.text())) {
        __builtin_trap();
    }
    return 0;
}
