#include "setup_report.hpp"

#include "number_text.hpp"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

namespace {

// Per metre to per millimetre, by the single-precision 0.001, not the double.
// kept as the simulator has it
constexpr float metres_per_millimetre = 0.001F;

// kept as the simulator has it
constexpr std::array<std::string_view, 9> compound_names{
    "RACE R1",     "RACE R2", "RACE R3", "RACE R4", "ROAD SUPER",
    "ROAD NORMAL", "HYBRID",  "KNOBBLY", "???", // every code from 8 up
};

constexpr std::array<std::string_view, hotlap::layout::gear_ratios.count> gear_labels{
    "1st", "2nd", "3rd", "4th", "5th", "6th"};

struct SuspensionLine {
    std::string_view label;
    hotlap::RealField field;
    Decimals decimals;
    bool per_metre; // a rate per metre in the file, shown per millimetre
    std::string_view unit;
};

// The lines both axles share, in the order printed.
constexpr std::array<SuspensionLine, 4> suspension_lines{{
    {"Motion Range:\t ", hotlap::wheel::motion_range, 3, false, "\tm\n"},
    {"Stiffness:\t ", hotlap::wheel::spring_stiffness, 1, true, "\tN/mm\n"},
    {"Bump Damping:\t ", hotlap::wheel::bump_damping, 1, true, "\tNs/mm\n"},
    {"Rebound Damping: ", hotlap::wheel::rebound_damping, 1, true, "\tNs/mm\n"},
}};

struct AxleSection {
    std::string_view heading;
    hotlap::RealField anti_roll;
    std::string_view tyre_label;
};

constexpr AxleSection rear_section{"\n--------Rear Suspension---------\n",
                                   hotlap::layout::rear_anti_roll, "Rear Tire Type:  "};
constexpr AxleSection front_section{"\n--------Front Suspension--------\n",
                                    hotlap::layout::front_anti_roll, "Front Tire Type: "};

double in_millimetres(float value) {
    return static_cast<double>(value) * static_cast<double>(metres_per_millimetre);
}

std::string_view compound_name(std::uint8_t code) {
    return compound_names[std::min<std::size_t>(code, compound_names.size() - 1)];
}

void print_axle(const AxleSection& section, const hotlap::Reader& file, const hotlap::Reader& block,
                TextSink& out) {
    out.write_piece(Piece::heading, section.heading);
    for (const auto& line : suspension_lines) {
        const float value = block.real(line.field);
        const double shown = line.per_metre ? in_millimetres(value) : value;
        out.write(line.label);
        out.write_piece(Piece::number, fixed_point(shown, line.decimals).view());
        out.write(line.unit);
    }
    out.write("Anti Roll:\t ");
    out.write_piece(Piece::number,
                    fixed_point(in_millimetres(file.real(section.anti_roll)), 1).view());
    out.write("\tN/mm\n");
    out.write(section.tyre_label);
    out.write_piece(Piece::tyre, compound_name(block.byte(hotlap::wheel::compound_code)));
    out.write("\n");
}

void print_brakes(const hotlap::Reader& front, const hotlap::Reader& rear, TextSink& out) {
    const auto figures = brake_figures(front.real(hotlap::wheel::brake_torque),
                                       rear.real(hotlap::wheel::brake_torque));
    out.write_piece(Piece::heading, "\n--------Brakes------------------\n");
    out.write("Maximum Per Wheel\t");
    out.write_piece(Piece::number, decimal(figures.max_per_wheel).view());
    out.write(" Nm\n");
    out.write("Brake Balance (front)\t");
    out.write_piece(Piece::number, decimal(figures.front_balance).view());
    out.write("%\n");
}

void print_gearbox(const hotlap::Reader& file, TextSink& out) {
    out.write_piece(Piece::heading, "\n--------Gearbox ratios----------\n");
    // A count of 0x80 and above reads as negative and prints no gear.
    // kept as the simulator has it
    const int count = file.signed_byte(hotlap::layout::gear_count);
    for (std::size_t gear = 0; std::cmp_less(gear, count) && gear < gear_labels.size(); ++gear) {
        out.write(gear_labels[gear]);
        out.write(" ");
        out.write_piece(Piece::number,
                        fixed_point(file.real(hotlap::layout::gear_ratios, gear), 3).view());
        out.write("\n");
    }
    out.write("Final drive: ");
    out.write_piece(Piece::number, fixed_point(file.real(hotlap::layout::final_drive), 3).view());
    out.write("\n\n");
}

} // namespace

std::optional<Axles> select_axles(const hotlap::Reader& file) {
    std::optional<std::size_t> front;
    std::optional<std::size_t> rear;
    for (std::size_t block = 0; block < hotlap::layout::wheel_blocks.count; ++block) {
        const float offset = file.record(hotlap::layout::wheel_blocks, block)
                                 .real(hotlap::wheel::longitudinal_offset);
        // Not-a-number compares false and so goes to the rear; -0 equals 0.
        // kept as the simulator has it
        (offset >= 0.0F ? front : rear) = block;
    }
    if (!front || !rear) {
        return std::nullopt;
    }
    return Axles{*front, *rear};
}

BrakeFigures brake_figures(float front_torque, float rear_torque) {
    const double front = front_torque;
    const double mean = (static_cast<double>(rear_torque) + front) * 0.5;
    // The sum of two singles is exact in double unless one torque dwarfs the
    // other, so the share stays below 2^26 in magnitude (or is infinite or not
    // a number) and narrowing it to single precision is always defined.
    // kept as the simulator has it
    const auto share = static_cast<float>(front / (mean * 2.0));
    return {truncate_to_int32(mean), truncate_to_int32(static_cast<double>(share) * 100.0)};
}

Outcome print_setup(const hotlap::Reader& file, TextSink& out) {
    const auto axles = select_axles(file);
    if (!axles) {
        // kept as the simulator has it
        out.write("Error: can't figure out what tires are front/rear :-)\n");
        return Outcome::front_rear_undecidable;
    }
    const auto front = file.record(hotlap::layout::wheel_blocks, axles->front);
    const auto rear = file.record(hotlap::layout::wheel_blocks, axles->rear);
    print_axle(rear_section, file, rear, out);
    print_axle(front_section, file, front, out);
    print_brakes(front, rear, out);
    print_gearbox(file, out);
    return Outcome::done;
}
