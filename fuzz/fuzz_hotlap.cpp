// Feeds arbitrary bytes through recognition, the information block and the
// setup report, as the tool does once a file is loaded, and stops on any
// output that does not end the way its outcome says it must.
#include "in_process.hpp"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!ends_soundly(dump(std::as_bytes(std::span{data, size})))) {
        __builtin_trap();
    }
    return 0;
}
