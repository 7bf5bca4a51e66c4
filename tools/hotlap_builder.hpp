// Builds synthetic hotlap files field by field, as the simulator lays them
// out, for the tests, the example file, the fuzz corpus and the benchmarks.
// The offsets here are written out independently of the dumper's own table so
// that a wrong offset on either side shows up as a test failure.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct WheelFields {
    float longitudinal_offset = 0.0F; // m; >= 0 at the front
    float motion_range = 0.0F;        // m
    std::uint8_t compound = 0;        // tyre compound code
    float spring_stiffness = 0.0F;    // N/m
    float bump_damping = 0.0F;        // Ns/m
    float rebound_damping = 0.0F;     // Ns/m
    float brake_torque = 0.0F;        // Nm
};

struct HotlapFields {
    std::string signature = "ZKVQDP";
    std::uint8_t format = 0;
    // Text fields: cut to their width, padded with zero bytes.
    std::string track;
    std::string player;
    std::string car;
    std::string weather;
    std::string version;
    float rear_anti_roll = 0.0F;  // N/m
    float front_anti_roll = 0.0F; // N/m
    float final_drive = 0.0F;
    std::uint8_t gear_count = 0; // read as signed by the dumper
    std::array<float, 6> gear_ratios{};
    std::array<WheelFields, 4> wheels{};
    std::size_t length = 1024; // whole file; fields beyond it are dropped
    std::uint8_t filler = 0;   // every byte no field covers
};

[[nodiscard]] std::vector<std::byte> build_hotlap(const HotlapFields& lap);

// A plausible lap: five gears, rear wheels in blocks 0 and 1, softer compound
// at the front.
[[nodiscard]] HotlapFields sample_hotlap();

// A two-gear car whose front and rear wheels are blocks 3 and 2, front brake
// 700 Nm and rear 300 Nm, for tests that vary one field at a time.
[[nodiscard]] HotlapFields plain_hotlap();
