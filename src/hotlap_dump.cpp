#include "hotlap_dump.hpp"

#include "file_info.hpp"
#include "setup_report.hpp"

DumpOutcome dump_hotlap(const hotlap::Reader& file, TextSink& out) {
    if (recognise(file, out) == Recognition::rejected) {
        return DumpOutcome::not_a_hotlap;
    }
    print_file_info(file, out);
    if (print_setup_report(file, out) == ReportOutcome::front_rear_undecidable) {
        return DumpOutcome::front_rear_undecidable;
    }
    return DumpOutcome::done;
}
