// Runs the sections on a file buffer as the tool does once it has loaded it.
#pragma once

#include "file_info.hpp"
#include "hotlap_layout.hpp"
#include "setup_report.hpp"
#include "text_sink.hpp"

#include <cstddef>
#include <optional>
#include <span>
#include <string>

struct Dump {
    std::string text;                     // everything after the size line
    std::optional<ReportOutcome> outcome; // nothing when the file was rejected
};

inline Dump dump(std::span<const std::byte> bytes) {
    const hotlap::Reader file{bytes};
    StringSink out;
    Dump result;
    if (recognise(file, out) == Recognition::accepted) {
        print_file_info(file, out);
        result.outcome = print_setup_report(file, out);
    }
    result.text = out.text();
    return result;
}

// Whether the text ends as the outcome says it must.
inline bool ends_soundly(const Dump& result) {
    const std::string_view text = result.text;
    if (!result.outcome) {
        return text == "File Error/Not A Hotlap!";
    }
    return *result.outcome == ReportOutcome::done
               ? text.ends_with("\n\n")
               : text.ends_with("Error: can't figure out what tires are front/rear :-)\n");
}
