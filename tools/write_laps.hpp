// What the programs that write laps (make_hotlap, and the fuzzer's seed
// corpus maker) share: writing them, and saying how they are called.
#pragma once

#include "byte_files.hpp"
#include "hotlap_builder.hpp"

#include <cstdio>
#include <filesystem>
#include <span>
#include <utility>

using LapFile = std::pair<std::filesystem::path, HotlapFields>;

// Writes each lap, or names on standard error the first that cannot be
// written. The program's exit status: 0, or 1 on failure.
[[nodiscard]] inline int write_laps(const char* program, std::span<const LapFile> laps) {
    for (const auto& [path, lap] : laps) {
        if (!write_bytes(path, build_hotlap(lap))) {
            std::fprintf(stderr, "%s: cannot write %s\n", program, path.string().c_str());
            return 1;
        }
    }
    return 0;
}

// Prints "usage: " and `synopsis` on standard error; the exit status 2.
[[nodiscard]] inline int usage(const char* synopsis) {
    std::fprintf(stderr, "usage: %s\n", synopsis);
    return 2;
}
