// Runs the tool's report on a file buffer made in memory.
#pragma once

#include "hotlap_layout.hpp"
#include "lap_report.hpp"
#include "text_sink.hpp"

#include <cstddef>
#include <span>
#include <string>

struct Report {
    std::string text; // everything after the size line
    Outcome outcome;
};

inline Report report_in_memory(std::span<const std::byte> bytes) {
    StringSink out;
    const Outcome outcome = report_on_lap(hotlap::Reader{bytes}, out);
    return {out.text(), outcome};
}
