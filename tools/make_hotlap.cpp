// Writes the example hotlap file, optionally grown to a given length.
//   make_hotlap OUTPUT [LENGTH]
#include "hotlap_builder.hpp"

#include <cstdio>
#include <cstdlib>
#include <fstream>

int main(int argc, char* argv[]) {
    if (argc < 2 || argc > 3) {
        std::fputs("usage: make_hotlap OUTPUT [LENGTH]\n", stderr);
        return 2;
    }
    HotlapFields lap = sample_hotlap();
    if (argc == 3) {
        lap.length = std::strtoull(argv[2], nullptr, 10);
    }
    const auto bytes = build_hotlap(lap);
    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        std::fprintf(stderr, "make_hotlap: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
