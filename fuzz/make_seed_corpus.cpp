// Writes the fuzzer's seed corpus into a folder, one file per case.
//   make_seed_corpus FOLDER
#include "write_laps.hpp"

#include <filesystem>
#include <limits>
#include <string>
#include <utility>
#include <vector>

int main(int argc, char* argv[]) {
    if (argc != 2) {
        return usage("make_seed_corpus FOLDER");
    }
    constexpr float nan = std::numeric_limits<float>::quiet_NaN();
    constexpr float inf = std::numeric_limits<float>::infinity();
    const std::filesystem::path folder = argv[1];
    std::vector<LapFile> seeds{{folder / "sample", sample_hotlap()},
                               {folder / "plain", plain_hotlap()}};
    const auto add = [&](std::string name, auto change) {
        HotlapFields lap = plain_hotlap();
        change(lap);
        seeds.emplace_back(folder / name, lap);
    };
    add("short", [](HotlapFields& s) { s.length = 1023; });
    add("signature", [](HotlapFields& s) { s.signature = "ZVKQDP"; });
    add("format", [](HotlapFields& s) { s.format = 1; });
    add("all-front", [](HotlapFields& s) {
        for (auto& wheel : s.wheels) {
            wheel.longitudinal_offset = 0.0F;
        }
    });
    add("nan-offset", [](HotlapFields& s) { s.wheels[3].longitudinal_offset = nan; });
    add("negative-zero", [](HotlapFields& s) { s.wheels[2].longitudinal_offset = -0.0F; });
    add("brakes", [](HotlapFields& s) {
        s.wheels[3].brake_torque = inf;
        s.wheels[2].brake_torque = -inf;
    });
    add("ties", [](HotlapFields& s) {
        s.wheels[2].motion_range = 0.0625F;
        s.final_drive = 0.3125F;
    });
    add("gears", [](HotlapFields& s) { s.gear_count = 0x80; });
    add("many-gears", [](HotlapFields& s) { s.gear_count = 7; });
    add("compound", [](HotlapFields& s) { s.wheels[3].compound = 9; });
    add("huge", [](HotlapFields& s) { s.wheels[2].spring_stiffness = 3.4e38F; });

    std::error_code not_made; // then the first lap cannot be written, which says so
    std::filesystem::create_directories(folder, not_made);
    return write_laps("make_seed_corpus", seeds);
}
