// Laps side by side: the report taken apart into rows as it is printed, the
// rows set against a reference lap, and the comparison as CSV.
#include "hotlap_builder.hpp"
#include "lap_comparison.hpp"

#include <algorithm>
#include <limits>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

ComparedLap lap_of(std::string_view name, const HotlapFields& fields, std::uint64_t length = 0) {
    const auto bytes = build_hotlap(fields);
    return take_apart(name, length != 0 ? length : bytes.size(), hotlap::Reader{bytes},
                      Display::web_page);
}

HotlapFields short_lap() {
    HotlapFields lap = sample_hotlap();
    lap.length = 1023;
    return lap;
}

// The example with every figure of the report changed but two gears, and a
// sixth gear.
HotlapFields other_setup() {
    HotlapFields lap = sample_hotlap();
    for (const std::size_t rear : {std::size_t{0}, std::size_t{1}}) {
        lap.wheels[rear] = {-1.3F, 0.05F, 3, 100000.0F, 3600.0F, 8000.0F, 1100.0F};
    }
    for (const std::size_t front : {std::size_t{2}, std::size_t{3}}) {
        lap.wheels[front] = {1.45F, 0.06F, 0, 110000.0F, 4200.0F, 7000.0F, 1400.0F};
    }
    lap.rear_anti_roll = 60000.0F;
    lap.front_anti_roll = 90000.0F;
    lap.gear_count = 6;
    lap.gear_ratios = {3.0F, 2.105F, 1.6F, 1.238F, 1.1F, 0.9F};
    lap.final_drive = 3.9F;
    return lap;
}

const ComparedCell& cell_at(const Comparison& table, std::string_view label, std::size_t lap,
                            std::string_view section = "") {
    for (const auto& row : table.rows) {
        if (row.label == label && (section.empty() || row.section == section)) {
            return row.cells.at(lap);
        }
    }
    throw std::out_of_range(std::string{label});
}

TEST(ReportRows, EachLineWithAValueIsARowUnderItsHeading) {
    const ComparedLap sample = lap_of("sample.qdp", sample_hotlap());
    EXPECT_EQ(sample.rows.size(), 5U + 6 + 6 + 2 + 5 + 1);
    EXPECT_EQ(sample.message, "");
    const ReportRow some[] = {
        {"File Info", "Player", "Jorg Pilot", "", Piece::text},
        {"Rear Suspension", "Rebound Damping", "7.8", " Ns/mm", Piece::number},
        {"Front Suspension", "Front Tire Type", "RACE R1", "", Piece::tyre},
        {"Brakes", "Brake Balance (front)", "58", "%", Piece::number},
        {"Gearbox ratios", "Final drive", "4.125", "", Piece::number},
    };
    for (const auto& row : some) {
        EXPECT_NE(std::find(sample.rows.begin(), sample.rows.end(), row), sample.rows.end())
            << row.label;
    }
    // A failing report: its rows, and the line it stopped at as printed.
    HotlapFields undecidable = sample_hotlap();
    undecidable.wheels[0].longitudinal_offset = undecidable.wheels[1].longitudinal_offset = 1.0F;
    const std::tuple<ComparedLap, std::size_t, std::string> failing[] = {
        {lap_of("a", undecidable), 5, "Error: can't figure out what tires are front/rear :-)"},
        {lap_of("b", sample_hotlap(), 3ULL << 30), 0,
         "File size: 3221225472 bytesFile Error/Not A Hotlap!"},
    };
    for (const auto& [lap, rows, message] : failing) {
        EXPECT_EQ(lap.rows.size(), rows) << message;
        EXPECT_EQ(lap.message, message);
    }
}

TEST(LapComparison, DiffersFromTheReferenceByThePrintedDigits) {
    const std::tuple<const char*, const char*, std::optional<std::string>> cases[] = {
        {"4.2", "3.6", "+0.6"},
        {"110.0", "120.0", "\u221210.0"},
        {"1375", "1500", "\u2212125"},
        {"0.050", "0.063", "\u22120.013"},
        {"-1.5", "2.25", "\u22123.75"},
        {"0.100", "-0.100", "+0.200"},
        {"100.0", "99.9", "+0.1"},
        {"-0.0", "0.0", "0.0"},
        {"1000000020040877342720.000", "4.125", "+1000000020040877342715.875"},
        {"nan", "1.0", std::nullopt},
        {"1.0", "-inf", std::nullopt},
    };
    for (const auto& [value, reference, difference] : cases) {
        EXPECT_EQ(printed_difference(value, reference), difference) << value << " " << reference;
    }
}

TEST(LapComparison, MarksWhatDiffersFromTheReferenceAndByHowMuch) {
    const ComparedLap laps[] = {lap_of("sample.qdp", sample_hotlap()),
                                lap_of("other.qdp", other_setup()),
                                lap_of("copy.qdp", sample_hotlap())};
    // The other lap's differing cells; every other cell is as the reference's.
    const std::tuple<const char*, const char*, const char*> marked[] = {
        {"Rear Suspension", "Motion Range", "0.050 m (\u22120.013)"},
        {"Rear Suspension", "Stiffness", "100.0 N/mm (+5.0)"},
        {"Rear Suspension", "Bump Damping", "3.6 Ns/mm (\u22120.6)"},
        {"Rear Suspension", "Rebound Damping", "8.0 Ns/mm (+0.2)"},
        {"Rear Suspension", "Anti Roll", "60.0 N/mm (\u22125.0)"},
        {"Rear Suspension", "Rear Tire Type", "RACE R4"},
        {"Front Suspension", "Motion Range", "0.060 m (+0.005)"},
        {"Front Suspension", "Stiffness", "110.0 N/mm (\u221210.0)"},
        {"Front Suspension", "Bump Damping", "4.2 Ns/mm (+0.6)"},
        {"Front Suspension", "Rebound Damping", "7.0 Ns/mm (+0.1)"},
        {"Front Suspension", "Anti Roll", "90.0 N/mm (+7.5)"},
        {"Brakes", "Maximum Per Wheel", "1250 Nm (\u2212125)"},
        {"Brakes", "Brake Balance (front)", "56% (\u22122)"},
        {"Gearbox ratios", "1st", "3.000 (\u22120.214)"},
        {"Gearbox ratios", "3rd", "1.600 (+0.038)"},
        {"Gearbox ratios", "5th", "1.100 (+0.100)"},
        {"Gearbox ratios", "6th", "0.900"},
        {"Gearbox ratios", "Final drive", "3.900 (\u22120.225)"},
    };
    // Against the copy of the example, chosen as the reference: the example's
    // column has no mark at all.
    const Comparison table = compare_laps(laps, 2);
    ASSERT_EQ(table.rows.size(), 26U);
    EXPECT_EQ(table.rows[24].label, "6th"); // after the fifth gear, before the final drive
    for (const auto& row : table.rows) {
        const auto* const mark =
            std::find_if(std::begin(marked), std::end(marked), [&](const auto& m) {
                return std::get<0>(m) == row.section && std::get<1>(m) == row.label;
            });
        const bool differs = mark != std::end(marked);
        const std::string what = row.section + " " + row.label;
        EXPECT_FALSE(row.cells[0].differs || row.cells[2].differs) << what;
        EXPECT_EQ(row.cells[0].text, row.cells[2].text) << what;
        EXPECT_EQ(row.cells[1].differs, differs) << what;
        EXPECT_EQ(row.cells[1].text, differs ? std::get<2>(*mark) : row.cells[2].text) << what;
    }
    EXPECT_EQ(cell_at(table, "Stiffness", 1, "Front Suspension").note,
              "differs from the reference: \u221210.0");
    EXPECT_EQ(cell_at(table, "6th", 2).text, "\u2014");
    EXPECT_EQ(cell_at(table, "6th", 1).note, "differs from the reference");
    // The other way round: the example lacks the sixth gear.
    const Comparison reversed = compare_laps(laps, 1);
    EXPECT_EQ(cell_at(reversed, "Stiffness", 0, "Front Suspension").text, "120.0 N/mm (+10.0)");
    EXPECT_EQ(cell_at(reversed, "6th", 0).text, "\u2014");
    EXPECT_TRUE(cell_at(reversed, "6th", 0).differs);
    EXPECT_EQ(compare_laps(laps).reference, 0U);
}

TEST(LapComparison, AFailingLapKeepsItsColumnAndTheOthersTheirs) {
    HotlapFields undecidable = other_setup();
    undecidable.player = "Nobody";
    undecidable.wheels[0].longitudinal_offset = undecidable.wheels[1].longitudinal_offset = 1.0F;
    HotlapFields reference = sample_hotlap();
    reference.car = "911";
    HotlapFields odd = reference;
    odd.car = "912";
    odd.front_anti_roll = std::numeric_limits<float>::quiet_NaN();
    odd.final_drive = 1e21F;
    const ComparedLap laps[] = {lap_of("short.qdp", short_lap()), lap_of("911.qdp", reference),
                                lap_of("undecidable.qdp", undecidable), lap_of("odd.qdp", odd),
                                unread_lap("gone\x1b.qdp", Display::controls_only)};
    const Comparison table = compare_laps(laps);
    EXPECT_EQ(table.reference, 1U); // the first whole report
    EXPECT_EQ(table.laps[0].message, "File size: 1023 bytesFile Error/Not A Hotlap!");
    EXPECT_EQ(table.laps[4].name, "gone^[.qdp");
    EXPECT_EQ(table.laps[4].message, "File doesn't exist/Unable to open file");
    for (const auto& row : table.rows) {
        for (const std::size_t failed : {std::size_t{0}, std::size_t{4}}) {
            EXPECT_EQ(row.cells[failed].text, "") << row.label;
            EXPECT_FALSE(row.cells[failed].differs) << row.label;
        }
        EXPECT_EQ(row.cells[2].text == "", row.section != "File Info") << row.label;
    }
    EXPECT_EQ(cell_at(table, "Player", 2).text, "Nobody");
    EXPECT_TRUE(cell_at(table, "Player", 2).differs);
    EXPECT_TRUE(cell_at(table, "Car", 2).differs);
    EXPECT_FALSE(cell_at(table, "Stiffness", 2, "Front Suspension").differs);
    // A text field is no figure; not a number is marked, without a
    // difference; beyond 1e21 every digit counts.
    EXPECT_EQ(cell_at(table, "Car", 3).text, "912");
    EXPECT_EQ(cell_at(table, "Anti Roll", 3, "Front Suspension").text, "nan N/mm");
    EXPECT_EQ(cell_at(table, "Anti Roll", 3, "Front Suspension").note,
              "differs from the reference");
    EXPECT_EQ(cell_at(table, "Final drive", 3).text,
              "1000000020040877342720.000 (+1000000020040877342715.875)");
}

TEST(LapComparison, SavesAsCsvThatNoSpreadsheetRunsOrMisreads) {
    HotlapFields named = sample_hotlap();
    named.player = "=HYPERLINK(\"x\")\x1b[2J";
    named.car = "<b>Kestrel</b>, GT3";
    named.gear_ratios[0] = -3.2F; // a number stays one; text that a formula could start is defused
    named.gear_ratios[1] = -std::numeric_limits<float>::infinity();
    std::vector<ComparedLap> laps{lap_of("Pilot\x1b]0;x\x07\0.QDP"s, sample_hotlap()),
                                  lap_of("-2+3.qdp", named), lap_of("short.qdp", short_lap())};
    const Comparison table = compare_laps(laps);
    EXPECT_EQ(table.laps[0].name, "Pilot^[]0;x^G.QDP");
    EXPECT_EQ(comparison_file_name(table), "Pilot^[]0;x^G-comparison.csv");
    const std::string csv = comparison_csv(table);
    const std::string lines[] = {
        "\xEF\xBB\xBFSection,Line,Pilot^[]0;x^G.QDP,'-2+3.qdp,short.qdp\r\n",
        "File Info,Player,Jorg Pilot,\"'=HYPERLINK(\"\"x\"\")^[[2J\",\r\n",
        "File Info,Car,Kestrel GT3,\"<b>Kestrel</b>, GT3\",\r\n",
        "Brakes,Brake Balance (front),58,58,\r\n",
        "Gearbox ratios,1st,3.214,-3.200,\r\n",
        "Gearbox ratios,2nd,2.105,'-inf,\r\n",
        "Gearbox ratios,Final drive,4.125,4.125,\r\n",
    };
    for (const auto& line : lines) {
        EXPECT_NE(csv.find(line), std::string::npos) << line;
    }
    EXPECT_TRUE(csv.starts_with(lines[0]));
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 25);
    EXPECT_EQ(csv.find('\0'), std::string::npos);
    // Past the eighth lap, laps are left out, and the comparison says so.
    laps.resize(9, laps[0]);
    const Comparison cut = compare_laps(laps, 8);
    EXPECT_EQ(cut.laps.size(), 8U);
    EXPECT_EQ(cut.reference, 0U);
    EXPECT_EQ(cut.notice, "Only the first 8 of the 9 laps are compared.");
    EXPECT_EQ(compare_laps(std::span{laps}.first(8)).notice, "");
}

} // namespace
