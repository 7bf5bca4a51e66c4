// The page's way into the tool's core: it hands over a lap's leading bytes
// and its true length, and gets back what the console tool writes to a file
// for that lap, or the report as the page shows it, and how the run ended.
// Shown, each text field is read in the letters it was written in (UTF-8, or
// else the code page the user chose, by the browser's TextDecoder), its
// controls and the characters that reorder a line shown by the core's rules,
// all in UTF-8. The ending reaches the page as the console tool's exit
// status and as a name that stays the same from one release to the next,
// never as a number of the core's enum:
//   "done"                    the whole report
//   "not_loaded"              a file the page could not read
//   "not_a_hotlap"            no signature, or the excluded format
//   "too_short"               a hotlap's start, shorter than the report reads
//   "too_long"                2 GiB or more, refused by its size
//   "front_rear_undecidable"  the wheels all on one axle (status 1)
//
// Laps side by side: the page hands over each lap's leading bytes and name,
// and gets back the comparison as JSON, every text in it as it is to be
// shown (set as text, never as markup):
//   {"laps": [{"name", "ending", "message"}],  one per column, in the order
//                                               added; "message" is where a
//                                               failing report stopped
//    "reference": 0,                            the column compared with
//    "notice": "",                              laps left out, past the eighth
//    "sections": [{"heading", "rows": [{"label", "cells": [{"text",
//                  "differs", "note"}]}]}],     "note" for a screen reader
//    "csv": "...", "csvName": "x-comparison.csv"}   what "Save" writes

#include "hotlap_layout.hpp"
#include "lap_comparison.hpp"
#include "lap_report.hpp"
#include "outcome.hpp"
#include "text_sink.hpp"

#include <cstddef>
#include <cstdint>
#include <emscripten/em_js.h>
#include <emscripten/em_macros.h>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// `size` bytes at `bytes` read by the browser's decoder of the code page
// `label` names, written at `utf8` in UTF-8, which takes at most three bytes
// for each byte read (a letter or U+FFFD). Answers how many it wrote. A
// byte-order mark is a letter of the field like any other.
EM_JS(std::size_t, read_in_code_page,
      (const char* label, const char* bytes, std::size_t size, char* utf8), {
          const text = new TextDecoder(UTF8ToString(label), {ignoreBOM : true})
                           .decode(HEAPU8.subarray(bytes, bytes + size));
          return new TextEncoder().encodeInto(text, HEAPU8.subarray(utf8, utf8 + 3 * size)).written;
      });

namespace {

std::vector<std::byte> input;
std::string report;
Outcome ending = Outcome::done;
std::string lap_name;
std::string name_shown;
std::vector<ComparedLap> compared_laps;
std::string comparison;
std::string code_page = "windows-1252"; // as TextDecoder names it

std::string from_chosen_code_page(std::string_view bytes) {
    std::string utf8(3 * bytes.size(), '\0');
    utf8.resize(read_in_code_page(code_page.c_str(), bytes.data(), bytes.size(), utf8.data()));
    return utf8;
}

// How the page shows a lap: its fields and its file name.
constexpr Display shown_display{Display::Kind::web_page, 0, &from_chosen_code_page};

// A length the page cannot have sent (negative, NaN) would make the
// conversion undefined, so it counts as none.
std::uint64_t file_length(double length) {
    return length > 0 && length < 0x1p63 ? static_cast<std::uint64_t>(length) : 0;
}

const char* name_of(Outcome outcome) {
    switch (outcome) {
    case Outcome::done:
        return "done";
    case Outcome::not_loaded:
        return "not_loaded";
    case Outcome::not_a_hotlap:
        return "not_a_hotlap";
    case Outcome::too_short:
        return "too_short";
    case Outcome::too_long:
        return "too_long";
    case Outcome::front_rear_undecidable:
        return "front_rear_undecidable";
    }
    return "";
}

// Writes JSON into one string: each member or element after the first of
// its object or array gets a comma.
class Json {
public:
    Json& open(char bracket) {
        comma();
        text_ += bracket;
        first_ = true;
        return *this;
    }
    Json& close(char bracket) {
        text_ += bracket;
        first_ = false;
        return *this;
    }
    Json& key(std::string_view name) {
        text(name);
        text_ += ':';
        first_ = true;
        return *this;
    }
    Json& text(std::string_view value) {
        constexpr std::string_view hex = "0123456789abcdef";
        comma();
        text_ += '"';
        for (const char c : value) {
            const auto byte = static_cast<unsigned char>(c);
            if (c == '"' || c == '\\') {
                text_ += '\\';
                text_ += c;
            } else if (byte < 0x20) {
                text_.append("\\u00").append(1, hex[byte >> 4]).append(1, hex[byte & 0xF]);
            } else {
                text_ += c;
            }
        }
        text_ += '"';
        return *this;
    }
    Json& literal(std::string_view value) { // a number, true or false
        comma();
        text_ += value;
        return *this;
    }
    [[nodiscard]] const std::string& written() const { return text_; }

private:
    void comma() {
        if (!first_) {
            text_ += ',';
        }
        first_ = false;
    }

    std::string text_;
    bool first_ = true;
};

std::string json_of(const Comparison& table) {
    Json json;
    json.open('{').key("laps").open('[');
    for (const auto& lap : table.laps) {
        json.open('{').key("name").text(lap.name).key("ending").text(name_of(lap.outcome));
        json.key("message").text(lap.message).close('}');
    }
    json.close(']').key("reference").literal(std::to_string(table.reference));
    json.key("notice").text(table.notice).key("sections").open('[');
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
        const ComparedRow& row = table.rows[i];
        if (i == 0 || row.section != table.rows[i - 1].section) {
            if (i > 0) {
                json.close(']').close('}');
            }
            json.open('{').key("heading").text(row.section).key("rows").open('[');
        }
        json.open('{').key("label").text(row.label).key("cells").open('[');
        for (const auto& cell : row.cells) {
            json.open('{').key("text").text(cell.text);
            json.key("differs").literal(cell.differs ? "true" : "false");
            json.key("note").text(cell.note).close('}');
        }
        json.close(']').close('}');
    }
    if (!table.rows.empty()) {
        json.close(']').close('}');
    }
    json.close(']').key("csv").text(comparison_csv(table));
    json.key("csvName").text(comparison_file_name(table)).close('}');
    return json.written();
}

} // namespace

extern "C" {

// How many leading bytes of a file the report can read: the page reads no
// more, however long the file.
std::size_t zvk_bytes_needed() {
    return hotlap::layout::complete_length;
}

// Room for `count` bytes of the lap, which the page copies in before asking
// for the report.
std::byte* zvk_input(std::size_t count) {
    input.assign(count, std::byte{0});
    return input.data();
}

// Room for `count` bytes of the name of the code page in which the page
// reads the names of laps that are not in UTF-8, as TextDecoder knows it
// ("windows-1250", "utf-8"): it holds for the reports and comparisons after.
char* zvk_code_page_input(std::size_t count) {
    code_page.assign(count, '\0');
    return code_page.data();
}

// Reports on the bytes handed in, the first bytes of a file `length` bytes
// long (a JavaScript number, exact up to 2^53): the bytes the console tool
// writes to a file, or, `shown`, the text the page shows. Answers the exit
// status the console tool ends with for this lap; the text is at
// zvk_report_text(), zvk_report_size() bytes long, and the ending's name at
// zvk_ending().
int zvk_report(double length, bool shown) {
    StringSink out{shown ? shown_display : Display::as_is};
    ending =
        report_on_file(file_length(length), hotlap::Reader{std::span<const std::byte>{input}}, out);
    report = out.text();
    return exit_status(ending);
}

// The same for a lap the page could not read (moved or deleted after it was
// chosen, say): what the console tool prints for a file it cannot open.
int zvk_report_unreadable() {
    StringSink out;
    print_banner(out);
    print_cannot_open(out);
    ending = Outcome::not_loaded;
    report = out.text();
    return exit_status(ending);
}

const char* zvk_report_text() {
    return report.data();
}

std::size_t zvk_report_size() {
    return report.size();
}

// The name of the last report's ending, NUL-terminated (see the top).
const char* zvk_ending() {
    return name_of(ending);
}

// Starts a comparison afresh.
void zvk_compare_clear() {
    compared_laps.clear();
}

// Room for `count` bytes of a lap's file name, in UTF-8, for the comparison
// or zvk_shown_name().
char* zvk_name_input(std::size_t count) {
    lap_name.assign(count, '\0');
    return lap_name.data();
}

// The file name handed in as the page shows it, NUL-terminated: its
// controls, and the characters that would reorder it, by their code
// ("Pilot<U+202E>exe.qdp").
const char* zvk_shown_name() {
    name_shown = shown_name(lap_name, shown_display);
    return name_shown.c_str();
}

// Adds to the comparison the lap whose name and leading bytes were handed
// in, `length` bytes long. Answers how many laps it holds.
std::size_t zvk_compare_add(double length) {
    compared_laps.push_back(take_apart(lap_name, file_length(length),
                                       hotlap::Reader{std::span<const std::byte>{input}},
                                       shown_display));
    return compared_laps.size();
}

// Adds to the comparison the lap whose name was handed in and whose file the
// page could not read. Answers how many laps it holds.
std::size_t zvk_compare_add_unread() {
    compared_laps.push_back(unread_lap(lap_name, shown_display));
    return compared_laps.size();
}

// The comparison against the lap at `reference`, counted from 0 (a negative
// number, or one past the laps compared: the first whole report), as JSON
// (see the top), NUL-terminated.
const char* zvk_comparison(int reference) {
    const auto chosen = reference >= 0 ? std::optional<std::size_t>(reference) : std::nullopt;
    comparison = json_of(compare_laps(compared_laps, chosen));
    return comparison.c_str();
}

} // extern "C"
