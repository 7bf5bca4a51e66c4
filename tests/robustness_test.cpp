// Damaged and truncated files: every run must end in order, and nothing may
// be read outside the file buffer (each buffer is allocated at its exact
// length, so the address sanitizer sees any read past its end).
#include "byte_files.hpp"
#include "hotlap_builder.hpp"
#include "in_process.hpp"
#include "platform.hpp"
#include "report_endings.hpp"

#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::vector<std::byte> valid_file() {
    HotlapFields lap = plain_hotlap();
    lap.filler = 0xA5; // every byte is something, so damage anywhere shows
    return build_hotlap(lap);
}

TEST(Robustness, EveryPrefixOfALapEndsInOrder) {
    const auto whole = valid_file();
    const std::size_t signature_width = 6;
    for (std::size_t length = 0; length <= whole.size(); ++length) {
        const std::vector<std::byte> prefix(whole.begin(),
                                            whole.begin() + static_cast<long>(length));
        const Report result = report_in_memory(prefix);
        const Outcome ending = length == whole.size()      ? Outcome::done
                               : length >= signature_width ? Outcome::too_short
                                                           : Outcome::not_a_hotlap;
        EXPECT_EQ(result.outcome, ending) << length;
        EXPECT_TRUE(ends_soundly(result.outcome, result.text)) << length;
    }
}

TEST(Robustness, EverySingleByteChangeEndsInOrder) {
    const auto original = valid_file();
    const std::string_view signature = "ZKVQDP";
    for (std::size_t offset = 0; offset < original.size(); ++offset) {
        const auto was = std::to_integer<unsigned>(original[offset]);
        for (const unsigned value : {0x00U, 0x01U, 0x7FU, 0x80U, 0xFFU, was ^ 0x5AU}) {
            auto damaged = original;
            damaged[offset] = static_cast<std::byte>(value);
            const bool refused =
                (offset < signature.size() && value != unsigned(signature[offset])) ||
                (offset == 15 && value == 1);
            const Report result = report_in_memory(damaged);
            EXPECT_EQ(result.outcome != Outcome::not_a_hotlap, !refused) << offset << " " << value;
            EXPECT_TRUE(ends_soundly(result.outcome, result.text)) << offset << " " << value;
        }
    }
}

// A file that shrinks between sizing and reading leaves the buffer short:
// the read says so instead of reporting on bytes that never came.
TEST(Robustness, AFileCutShortAfterItWasSizedFailsToLoad) {
    const auto lap = valid_file();
    const std::filesystem::path name = "cut-short.qdp";
    for (const std::size_t kept : {lap.size(), lap.size() - 1, std::size_t{0}}) {
        ASSERT_TRUE(write_bytes(name, lap));
        auto file = platform::InputFile::open(name);
        ASSERT_TRUE(file && file->length() == lap.size()) << kept;
        std::filesystem::resize_file(name, kept);
        std::vector<std::byte> buffer(lap.size());
        EXPECT_EQ(file->read_whole(buffer), kept == lap.size()) << kept;
        EXPECT_TRUE(kept < lap.size() || buffer == lap);
    }
    std::filesystem::remove(name);
}

} // namespace
