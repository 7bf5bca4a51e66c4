// Writes the example hotlap file, optionally grown to a given length.
//   make_hotlap OUTPUT [LENGTH]
#include "hotlap_builder.hpp"

#include <cstdlib>

int main(int argc, char* argv[]) {
    if (argc < 2 || argc > 3) {
        return usage("make_hotlap OUTPUT [LENGTH]");
    }
    HotlapFields lap = sample_hotlap();
    if (argc == 3) {
        lap.length = std::strtoull(argv[2], nullptr, 10);
    }
    const LapFile file{argv[1], lap};
    return write_laps("make_hotlap", {&file, 1});
}
