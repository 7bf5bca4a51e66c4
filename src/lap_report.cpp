#include "lap_report.hpp"

#include "file_info.hpp"
#include "number_text.hpp"
#include "setup_report.hpp"

void print_banner(TextSink& out) {
    out.write("ZVK Hotlap QDP File Setting Dumper by Brasko & Telvin\n");
}

SizeVerdict print_size_line(std::uint64_t length, TextSink& out) {
    constexpr std::uint64_t longest_countable = 0x7fff'ffff;
    out.write("File size: ");
    out.write(decimal(length).view());
    out.write(" bytes");
    if (length > longest_countable) {
        print_not_a_hotlap(out);
        return SizeVerdict::refused;
    }
    return SizeVerdict::load;
}

Outcome report_on_lap(const hotlap::Reader& file, TextSink& out) {
    if (recognise(file, out) == Recognition::rejected) {
        return Outcome::not_a_hotlap;
    }
    print_file_info(file, out);
    return print_setup(file, out);
}
