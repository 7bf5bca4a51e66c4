// The report taken apart as it is printed, for laps shown side by side: each
// line that holds a value (a figure, a text field, a tyre) becomes a row
// under the heading before it. The wording is the report's own, as printed.
#pragma once

#include "text_sink.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct ReportRow {
    std::string section; // the heading without its rules: "Rear Suspension"
    std::string label;   // without the colon and blanks before the value: "Stiffness"
    std::string value;   // as printed: "95.0"; a field as shown, without its NUL padding
    std::string unit;    // what follows the value on its line, a tab as a blank: " N/mm"
    Piece kind;          // number, text or tyre
    bool operator==(const ReportRow&) const = default;
};

class RowSink final : public TextSink {
public:
    explicit RowSink(Display display) : TextSink(display) {}
    void write(std::string_view text) override;

    [[nodiscard]] const std::vector<ReportRow>& rows() const { return rows_; }
    // The last line printed that holds no value, without its newline: where
    // a failing report stopped, as the console shows it
    // ("File size: 1023 bytesFile Error/Not A Hotlap!").
    [[nodiscard]] std::string_view last_line() const;

protected:
    void piece_starts(Piece piece) override;
    void piece_ends() override;

private:
    void end_line();

    std::vector<ReportRow> rows_;
    std::string section_;
    std::string line_;             // the current line but its value
    std::optional<ReportRow> row_; // the current line's row, once its value came
    std::optional<Piece> piece_;   // the piece being written
    std::string piece_text_;
    std::string last_line_;
};
