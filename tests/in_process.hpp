// Runs the tool's report on a file buffer made in memory.
#pragma once

#include "hotlap_dump.hpp"
#include "hotlap_layout.hpp"
#include "text_sink.hpp"

#include <cstddef>
#include <span>
#include <string>

struct Dump {
    std::string text; // everything after the size line
    Outcome outcome;
};

inline Dump dump(std::span<const std::byte> bytes) {
    StringSink out;
    const Outcome outcome = dump_hotlap(hotlap::Reader{bytes}, out);
    return {out.text(), outcome};
}
