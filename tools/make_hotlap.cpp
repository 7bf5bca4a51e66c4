// Writes the example hotlap file, optionally grown to a given length.
//   make_hotlap OUTPUT [LENGTH]
#include "byte_files.hpp"
#include "hotlap_builder.hpp"

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    if (argc < 2 || argc > 3) {
        std::fputs("usage: make_hotlap OUTPUT [LENGTH]\n", stderr);
        return 2;
    }
    HotlapFields lap = sample_hotlap();
    if (argc == 3) {
        lap.length = std::strtoull(argv[2], nullptr, 10);
    }
    if (!write_bytes(argv[1], build_hotlap(lap))) {
        std::fprintf(stderr, "make_hotlap: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
