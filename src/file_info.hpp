// Recognising a hotlap file and printing its information block.
#pragma once

#include "hotlap_layout.hpp"
#include "outcome.hpp"
#include "text_sink.hpp"

#include <optional>

// Nothing for a hotlap file long enough for the whole report; else prints the
// rejection message, and answers too_short for a hotlap's start, or not_a_hotlap.
[[nodiscard]] std::optional<Outcome> recognise(const hotlap::Reader& file, TextSink& out);

// The rejection message, also for files refused before they are loaded.
void print_not_a_hotlap(TextSink& out);

// Version, player, car, track and weather of an accepted file.
void print_file_info(const hotlap::Reader& file, TextSink& out);
