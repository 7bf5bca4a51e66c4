// Laps side by side: the rows of several laps' reports, each lap's cell set
// against the same row of a reference lap, and the whole as CSV.
#pragma once

#include "display.hpp"
#include "hotlap_layout.hpp"
#include "outcome.hpp"
#include "report_rows.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct ComparedLap {
    std::string name; // the file's name, as the display shows it
    Outcome outcome;
    std::vector<ReportRow> rows;
    std::string message; // where a failing report stopped, as printed; empty for a whole one
};

// A lap's run on a file in memory (banner, size line, report) taken apart,
// its name and text fields shown as `display` shows them. `file` holds at
// least the first bytes the report reads of the `length` bytes.
[[nodiscard]] ComparedLap take_apart(std::string_view name, std::uint64_t length,
                                     const hotlap::Reader& file, Display display);

// A lap whose file could not be read: its column says so as the console
// tool does for a file it cannot open.
[[nodiscard]] ComparedLap unread_lap(std::string_view name, Display display);

inline constexpr std::size_t most_compared_laps = 8;

struct ComparedCell {
    // The value, its unit and, in a figure's row, its difference from the
    // reference: "110.0 N/mm (−10.0)"; a dash where a whole report lacks the
    // row, as five gears beside six; nothing where a failing report does.
    std::string text;
    std::string value; // as printed, for the CSV; nothing where the lap lacks the row
    bool differs = false;
    // What a screen reader says of a differing cell: "differs from the reference: −10.0".
    std::string note;
};

struct ComparedRow {
    std::string section;
    std::string label;
    std::vector<ComparedCell> cells; // one per lap, in the laps' order
};

struct Comparison {
    std::vector<ComparedLap> laps; // the first eight laps given
    std::size_t reference = 0;
    std::vector<ComparedRow> rows; // every row of any lap, in the report's order
    std::string notice;            // how many laps were left out, when some were
};

// The laps' rows side by side, against the chosen reference lap, or else the
// first whose report is whole (the first lap when none is).
[[nodiscard]] Comparison compare_laps(std::span<const ComparedLap> laps,
                                      std::optional<std::size_t> reference = std::nullopt);

// `value` minus `reference`, both figures as printed, worked out on their
// digits, with the sign (+ or U+2212) and the decimals they have: "−10.0".
// Nothing when either is no finite number ("nan", "-inf").
[[nodiscard]] std::optional<std::string> printed_difference(std::string_view value,
                                                            std::string_view reference);

// RFC 4180 in UTF-8 with a byte-order mark: the laps' names, then a row per
// report line with its section, its label and each lap's value as printed.
[[nodiscard]] std::string comparison_csv(const Comparison& comparison);

// "<first lap's name without .qdp>-comparison.csv".
[[nodiscard]] std::string comparison_file_name(const Comparison& comparison);
