// Recognising a hotlap file and printing its information block.
#pragma once

#include "hotlap_layout.hpp"
#include "outcome.hpp"
#include "text_sink.hpp"

#include <optional>

// Accepts a file that carries the signature, is not of the excluded format and
// is long enough for the whole report (answers nothing); otherwise prints the
// rejection message and answers not_a_hotlap, or too_short for a hotlap's start.
[[nodiscard]] std::optional<Outcome> recognise(const hotlap::Reader& file, TextSink& out);

// The rejection message, also for files refused before they are loaded.
void print_not_a_hotlap(TextSink& out);

// Version, player, car, track and weather of an accepted file.
void print_file_info(const hotlap::Reader& file, TextSink& out);
