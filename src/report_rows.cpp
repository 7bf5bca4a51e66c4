#include "report_rows.hpp"

#include <algorithm>

namespace {

std::string_view trimmed(std::string_view text, std::string_view left, std::string_view right) {
    text.remove_prefix(std::min(text.find_first_not_of(left), text.size()));
    return text.substr(0, text.find_last_not_of(right) + 1);
}

} // namespace

void RowSink::write(std::string_view text) {
    if (piece_) {
        piece_text_.append(text);
        return;
    }
    for (const char c : text) {
        if (c == '\n') {
            end_line();
        } else {
            line_.push_back(c);
        }
    }
}

std::string_view RowSink::last_line() const {
    return row_ || line_.empty() ? std::string_view{last_line_} : std::string_view{line_};
}

void RowSink::piece_starts(Piece piece) {
    piece_ = piece;
    piece_text_.clear();
}

void RowSink::piece_ends() {
    const Piece piece = *piece_;
    piece_.reset();
    if (piece == Piece::heading) {
        end_line(); // the heading's newline ends the line before it
        section_ = trimmed(piece_text_, "\n-", "\n-");
        return;
    }
    std::erase(piece_text_, '\0'); // a short name's padding, which shows as nothing
    row_ = ReportRow{section_, std::string{trimmed(line_, "", " \t:")}, piece_text_, "", piece};
    line_.clear();
}

void RowSink::end_line() {
    if (row_) {
        std::replace(line_.begin(), line_.end(), '\t', ' ');
        row_->unit = line_;
        rows_.push_back(std::move(*row_));
        row_.reset();
    } else if (!line_.empty()) {
        last_line_ = line_;
    }
    line_.clear();
}
