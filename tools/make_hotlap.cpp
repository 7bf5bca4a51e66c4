// Writes the example hotlap file, optionally grown to a given length and with
// another player's name, in which \xHH stands for the byte HH (so that a test
// can pass control characters through any command line).
//   make_hotlap OUTPUT [LENGTH [PLAYER]]
#include "write_laps.hpp"

#include <cstdlib>
#include <string>
#include <string_view>

namespace {

std::string unescaped(std::string_view text) {
    std::string bytes;
    while (!text.empty()) {
        if (text.starts_with("\\x") && text.size() >= 4) {
            bytes += static_cast<char>(std::stoi(std::string(text.substr(2, 2)), nullptr, 16));
            text.remove_prefix(4);
        } else {
            bytes += text.front();
            text.remove_prefix(1);
        }
    }
    return bytes;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 2 || argc > 4) {
        return usage("make_hotlap OUTPUT [LENGTH [PLAYER]]");
    }
    HotlapFields lap = sample_hotlap();
    if (argc >= 3) {
        lap.length = std::strtoull(argv[2], nullptr, 10);
    }
    if (argc == 4) {
        lap.player = unescaped(argv[3]);
    }
    const LapFile file{argv[1], lap};
    return write_laps("make_hotlap", {&file, 1});
}
