#include "lap_report.hpp"

#include "file_info.hpp"
#include "setup_report.hpp"

Outcome report_on_lap(const hotlap::Reader& file, TextSink& out) {
    if (const Outcome recognised = recognise(file, out); recognised != Outcome::done) {
        return recognised;
    }
    print_file_info(file, out);
    return print_setup_report(file, out);
}
