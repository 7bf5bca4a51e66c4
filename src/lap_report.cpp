#include "lap_report.hpp"

#include "file_info.hpp"
#include "number_text.hpp"
#include "setup_report.hpp"

#include <span>

void print_banner(TextSink& out) {
    // kept as the simulator has it
    out.write("ZVK Hotlap QDP File Setting Dumper by Brasko & Telvin\n");
}

std::string shown_name(std::string_view name, Display display) {
    StringSink shown{display};
    shown.write_field(std::as_bytes(std::span{name.data(), name.size()}));
    std::string text = shown.text();
    std::erase(text, '\0'); // as in a field, it shows as nothing
    return text;
}

void print_cannot_open(TextSink& out) {
    // kept as the simulator has it
    out.write("File doesn't exist/Unable to open file\n");
}

std::optional<Outcome> print_size_line(std::uint64_t length, TextSink& out) {
    // kept as the simulator has it
    constexpr std::uint64_t longest_countable = 0x7fff'ffff;
    out.write("File size: ");
    out.write(decimal(length).view());
    out.write(" bytes");
    if (length > longest_countable) {
        print_not_a_hotlap(out);
        return Outcome::too_long;
    }
    return std::nullopt;
}

Outcome report_on_lap(const hotlap::Reader& file, TextSink& out) {
    if (const auto refused = recognise(file, out)) {
        return *refused;
    }
    print_file_info(file, out);
    return print_setup(file, out);
}

Outcome report_on_file(std::uint64_t length, const hotlap::Reader& file, TextSink& out) {
    print_banner(out);
    if (const auto refused = print_size_line(length, out)) {
        return *refused;
    }
    return report_on_lap(file, out);
}
