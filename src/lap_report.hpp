// The report on a loaded file, from recognition to the last line of the setup:
// the one sequence that the tool, its tests and its fuzzer all run.
#pragma once

#include "hotlap_layout.hpp"
#include "outcome.hpp"
#include "text_sink.hpp"

#include <cstdint>

// The tool counts a file's length in a signed 32-bit number: a file of 2 GiB
// or more is refused as no hotlap file and is never loaded.
inline constexpr std::uint64_t max_file_length = 0x7fff'ffff;

[[nodiscard]] constexpr bool within_length_limit(std::uint64_t length) {
    return length <= max_file_length;
}

// Recognises the file, then prints its information block and its setup report;
// each failure prints its own message.
[[nodiscard]] Outcome report_on_lap(const hotlap::Reader& file, TextSink& out);
