// How a report must end for each outcome: the rejection message alone, the
// axle error, or the blank line after the final drive. The robustness tests
// and the fuzzer hold every report on damaged input to it.
#pragma once

#include "lap_report.hpp"

#include <string_view>

inline bool ends_soundly(Outcome outcome, std::string_view text) {
    switch (outcome) {
    case Outcome::not_a_hotlap:
    case Outcome::too_short:
        return text == "File Error/Not A Hotlap!";
    case Outcome::front_rear_undecidable:
        return text.ends_with("Error: can't figure out what tires are front/rear :-)\n");
    case Outcome::done:
        return text.ends_with("\n\n");
    case Outcome::not_loaded: // a loaded file is never answered so
    case Outcome::too_long:
        return false;
    }
    return false;
}
