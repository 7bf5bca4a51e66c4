// Writes the fuzzer's seed corpus into a folder, one file per case.
//   make_seed_corpus FOLDER
#include "byte_files.hpp"
#include "hotlap_builder.hpp"

#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>
#include <utility>
#include <vector>

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fputs("usage: make_seed_corpus FOLDER\n", stderr);
        return 2;
    }
    constexpr float nan = std::numeric_limits<float>::quiet_NaN();
    constexpr float inf = std::numeric_limits<float>::infinity();
    std::vector<std::pair<std::string, HotlapFields>> seeds{{"sample", sample_hotlap()},
                                                            {"plain", plain_hotlap()}};
    const auto add = [&](std::string name, auto change) {
        HotlapFields lap = plain_hotlap();
        change(lap);
        seeds.emplace_back(std::move(name), lap);
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

    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    for (const auto& [name, lap] : seeds) {
        if (!write_bytes(folder / name, build_hotlap(lap))) {
            std::fprintf(stderr, "make_seed_corpus: cannot write %s\n", name.c_str());
            return 1;
        }
    }
    return 0;
}
