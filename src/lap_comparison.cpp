#include "lap_comparison.hpp"

#include "lap_report.hpp"

#include <algorithm>

namespace {

constexpr std::string_view minus_sign = "\u2212";
constexpr std::string_view dash = "\u2014";

// A figure as printed ("-12.50"): its digits without the point, and how many
// of them follow it. Nothing for "nan", "inf" and their negatives.
struct Digits {
    bool negative = false;
    std::string digits;
    std::size_t decimals = 0;
};

bool all_digits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<Digits> digits_of(std::string_view text) {
    Digits number;
    number.negative = text.starts_with('-');
    text.remove_prefix(number.negative ? 1 : 0);
    const auto point = text.find('.');
    const auto whole = text.substr(0, point);
    const auto fraction = point == std::string_view::npos ? "" : text.substr(point + 1);
    if (!all_digits(whole) || (point != std::string_view::npos && !all_digits(fraction))) {
        return std::nullopt;
    }
    number.digits.append(whole).append(fraction);
    number.decimals = fraction.size();
    return number;
}

// Both with `decimals` places and `width` digits, so that they line up.
void align(Digits& number, std::size_t decimals, std::size_t width) {
    number.digits.append(decimals - number.decimals, '0');
    number.digits.insert(0, width - (number.digits.size()), '0');
    number.decimals = decimals;
}

// a + b, or a - b where a >= b (`sign` -1), digit by digit; a and b are of
// one length, and so is the result, with one place more.
std::string combined(std::string_view a, std::string_view b, int sign) {
    std::string result(a.size() + 1, '0');
    int carry = 0;
    for (std::size_t i = a.size(); i-- > 0;) {
        int digit = (a[i] - '0') + sign * (b[i] - '0') + carry;
        carry = digit < 0 ? -1 : digit / 10;
        digit -= carry * 10;
        result[i + 1] = static_cast<char>('0' + digit);
    }
    result[0] = static_cast<char>('0' + carry);
    return result;
}

// Whether a row stands on the line of `like`: its label under its heading.
auto on_line_of(const ReportRow& like) {
    return [&like](const ReportRow& row) {
        return row.section == like.section && row.label == like.label;
    };
}

const ReportRow* find_row(const ComparedLap& lap, const ReportRow& like) {
    const auto row = std::find_if(lap.rows.begin(), lap.rows.end(), on_line_of(like));
    return row == lap.rows.end() ? nullptr : &*row;
}

// Every lap's rows in one list, in the report's order: a row one lap lacks
// (the sixth gear beside five) comes after the row it follows in the lap
// that has it.
std::vector<ReportRow> all_rows(std::span<const ComparedLap> laps) {
    std::vector<ReportRow> rows;
    for (const auto& lap : laps) {
        auto next = rows.begin();
        for (const auto& row : lap.rows) {
            const auto found = std::find_if(rows.begin(), rows.end(), on_line_of(row));
            next = found != rows.end() ? found + 1 : rows.insert(next, row) + 1;
        }
    }
    return rows;
}

// What a cell shows before any difference: the value and its unit; a dash
// where a whole report lacks the row; nothing where a failing one does.
std::string shown(const ComparedLap& lap, const ReportRow* row) {
    if (row != nullptr) {
        return row->value + row->unit;
    }
    return lap.outcome == Outcome::done ? std::string{dash} : std::string{};
}

ComparedCell compared_cell(const Comparison& comparison, std::size_t lap, const ReportRow& like) {
    const ComparedLap& reference = comparison.laps[comparison.reference];
    const ReportRow* const row = find_row(comparison.laps[lap], like);
    const ReportRow* const reference_row = find_row(reference, like);
    ComparedCell cell{shown(comparison.laps[lap], row), row != nullptr ? row->value : "", false,
                      ""};
    const bool failed_without_row = row == nullptr && comparison.laps[lap].outcome != Outcome::done;
    if (lap == comparison.reference || failed_without_row ||
        cell.text == shown(reference, reference_row)) {
        return cell;
    }
    cell.differs = true;
    cell.note = "differs from the reference";
    const auto difference = row != nullptr && reference_row != nullptr && like.kind == Piece::number
                                ? printed_difference(row->value, reference_row->value)
                                : std::nullopt;
    if (difference) {
        cell.text += " (" + *difference + ")";
        cell.note += ": " + *difference;
    }
    return cell;
}

// One cell of the CSV, after a comma unless it begins the row: quoted where
// it holds a separator, and a formula's first character defused with a
// quote, so that spreadsheets take it as text. A number as printed, negative
// ones too, starts no formula and stays a number.
void add_csv_cell(std::string& csv, std::string_view text, bool first = false) {
    const bool quoted = text.find_first_of(",\"\r\n") != std::string_view::npos;
    const bool formula =
        !text.empty() &&
        std::string_view{"=+-@\t\r"}.find(text.front()) != std::string_view::npos &&
        !digits_of(text);
    csv.append(first ? "" : ",").append(quoted ? "\"" : "").append(formula ? "'" : "");
    for (const char c : text) {
        csv.append(c == '"' ? "\"\"" : std::string_view{&c, 1});
    }
    csv.append(quoted ? "\"" : "");
}

} // namespace

ComparedLap take_apart(std::string_view name, std::uint64_t length, const hotlap::Reader& file,
                       Display display) {
    RowSink out{display};
    const Outcome outcome = report_on_file(length, file, out);
    return {shown_name(name, display), outcome, out.rows(),
            outcome == Outcome::done ? "" : std::string{out.last_line()}};
}

ComparedLap unread_lap(std::string_view name, Display display) {
    RowSink out{display};
    print_cannot_open(out);
    return {shown_name(name, display), Outcome::not_loaded, {}, std::string{out.last_line()}};
}

Comparison compare_laps(std::span<const ComparedLap> laps, std::optional<std::size_t> reference) {
    Comparison comparison;
    const auto compared = laps.first(std::min(laps.size(), most_compared_laps));
    comparison.laps.assign(compared.begin(), compared.end());
    if (laps.size() > compared.size()) {
        comparison.notice = "Only the first " + std::to_string(compared.size()) + " of the " +
                            std::to_string(laps.size()) + " laps are compared.";
    }
    if (reference && *reference < compared.size()) {
        comparison.reference = *reference;
    } else {
        const auto whole = std::find_if(compared.begin(), compared.end(), [](const auto& lap) {
            return lap.outcome == Outcome::done;
        });
        comparison.reference =
            whole == compared.end() ? 0 : static_cast<std::size_t>(whole - compared.begin());
    }
    for (const auto& row : all_rows(compared)) {
        ComparedRow compared_row{row.section, row.label, {}};
        for (std::size_t lap = 0; lap < compared.size(); ++lap) {
            compared_row.cells.push_back(compared_cell(comparison, lap, row));
        }
        comparison.rows.push_back(std::move(compared_row));
    }
    return comparison;
}

std::optional<std::string> printed_difference(std::string_view value, std::string_view reference) {
    auto a = digits_of(value);
    auto b = digits_of(reference);
    if (!a || !b) {
        return std::nullopt;
    }
    const std::size_t decimals = std::max(a->decimals, b->decimals);
    const std::size_t width =
        std::max(a->digits.size() - a->decimals, b->digits.size() - b->decimals) + decimals;
    align(*a, decimals, width);
    align(*b, decimals, width);
    bool negative = a->negative;
    std::string digits;
    if (a->negative != b->negative) {
        digits = combined(a->digits, b->digits, 1);
    } else if (a->digits >= b->digits) {
        digits = combined(a->digits, b->digits, -1);
    } else {
        digits = combined(b->digits, a->digits, -1);
        negative = !negative;
    }
    // No leading zero but the one before the point, and no sign for zero.
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - decimals - 1));
    if (decimals > 0) {
        digits.insert(digits.size() - decimals, 1, '.');
    }
    const bool zero = digits.find_first_not_of("0.") == std::string::npos;
    std::string text{zero ? "" : negative ? minus_sign : "+"};
    return text.append(digits);
}

std::string comparison_csv(const Comparison& comparison) {
    std::string csv = "\xEF\xBB\xBF"; // the byte-order mark, by which spreadsheets read UTF-8
    add_csv_cell(csv, "Section", true);
    add_csv_cell(csv, "Line");
    for (const auto& lap : comparison.laps) {
        add_csv_cell(csv, lap.name);
    }
    for (const auto& row : comparison.rows) {
        add_csv_cell(csv.append("\r\n"), row.section, true);
        add_csv_cell(csv, row.label);
        for (const auto& cell : row.cells) {
            add_csv_cell(csv, cell.value);
        }
    }
    return csv.append("\r\n");
}

std::string comparison_file_name(const Comparison& comparison) {
    std::string_view name;
    if (!comparison.laps.empty()) {
        name = comparison.laps.front().name;
    }
    constexpr std::string_view extension = ".qdp";
    const auto same = [](char lower, char c) {
        return (c >= 'A' && c <= 'Z' ? c + 32 : c) == lower;
    };
    if (name.size() >= extension.size() &&
        std::equal(extension.begin(), extension.end(), name.end() - extension.size(), same)) {
        name.remove_suffix(extension.size());
    }
    return std::string{name} + "-comparison.csv";
}
