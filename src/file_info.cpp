#include "file_info.hpp"

#include <algorithm>
#include <array>
#include <string_view>

namespace {

struct InfoRow {
    std::string_view label;
    hotlap::TextField field;
};

// Printed in this order, which is not the order of the fields in the file.
constexpr std::array<InfoRow, 5> info_rows{{
    {"ZVK Version: ", hotlap::layout::version},
    {"Player: ", hotlap::layout::player},
    {"Car: ", hotlap::layout::car},
    {"Track: ", hotlap::layout::track},
    {"Weather: ", hotlap::layout::weather},
}};

bool has_signature(const hotlap::Reader& file) {
    const auto signature = file.text(hotlap::layout::signature);
    const auto expected = hotlap::layout::signature_text;
    return std::equal(signature.begin(), signature.end(), expected.begin(), expected.end(),
                      [](std::byte b, char c) { return b == static_cast<std::byte>(c); });
}

} // namespace

void print_not_a_hotlap(TextSink& out) {
    // kept as the simulator has it
    out.write("File Error/Not A Hotlap!");
}

std::optional<Outcome> recognise(const hotlap::Reader& file, TextSink& out) {
    const bool is_hotlap = has_signature(file) &&
                           file.byte(hotlap::layout::format) != hotlap::layout::format_not_hotlap;
    if (is_hotlap && file.size() >= hotlap::layout::complete_length) {
        return std::nullopt;
    }
    print_not_a_hotlap(out);
    return is_hotlap ? Outcome::too_short : Outcome::not_a_hotlap;
}

void print_file_info(const hotlap::Reader& file, TextSink& out) {
    // The leading newline ends the size line, which has none of its own.
    out.write_piece(Piece::heading, "\n--------File Info--------\n");
    for (const auto& row : info_rows) {
        out.write(row.label);
        out.write_field(file.text(row.field));
        out.write("\n");
    }
}
