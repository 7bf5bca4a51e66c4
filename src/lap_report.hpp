// What every front end prints about a lap, in three steps run in this order:
// the banner, the size line, and the report on the loaded bytes. Between the
// steps the front end opens and loads the file; a file it cannot open ends
// the run after the banner with the same message on each.
#pragma once

#include "hotlap_layout.hpp"
#include "outcome.hpp"
#include "text_sink.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

void print_banner(TextSink& out);

// The message for a file that cannot be opened (or sized, or on the page
// read), with its newline: the run ends there, Outcome::not_loaded.
void print_cannot_open(TextSink& out);

// A file's name as the display shows a field (a front end that names the
// lap shows its controls, and what would reorder it, by the same rules).
[[nodiscard]] std::string shown_name(std::string_view name, Display display);

// Prints "File size: N bytes", with no newline: what follows ends the line.
// A file of 2 GiB or more, longer than the tool's signed 32-bit count, is
// refused unread as no hotlap file, its message printed: Outcome::too_long.
[[nodiscard]] std::optional<Outcome> print_size_line(std::uint64_t length, TextSink& out);

// Recognises the loaded bytes, then prints the information block and the car
// setup; each failure prints its own message.
[[nodiscard]] Outcome report_on_lap(const hotlap::Reader& file, TextSink& out);

// The three steps for a file already in memory, `length` bytes long, of which
// `file` holds at least the first bytes the report reads.
[[nodiscard]] Outcome report_on_file(std::uint64_t length, const hotlap::Reader& file,
                                     TextSink& out);
