// The tool's runs as a user makes them: arguments, the prompt, each way a run
// ends, long names, huge files.
#include "byte_files.hpp"
#include "hotlap_builder.hpp"
#include "tool_runner.hpp"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

TEST_F(EndToEnd, TheFirstArgumentOrTheWordTypedNamesTheLap) {
    ASSERT_TRUE(write_bytes("my", build_hotlap(sample_hotlap())));
    // Players name their laps in their own scripts, outside any ANSI code page.
    const std::u8string name = u8"J\u00f6rg_\u30e9\u30c3\u30d7.qdp";
    ASSERT_TRUE(write_bytes(fs::path(name), build_hotlap(sample_hotlap())));
    const std::string utf8(name.begin(), name.end());
    std::vector<ExpectedRun> runs{
        {"an argument", {"sample.qdp"}, "", sample_run},
        {"only the first argument counts",
         {"sample.qdp", "missing.qdp", "x"},
         std::nullopt,
         sample_run},
        {"a name typed at the prompt", {}, " \t\nsample.qdp\nrest", "File name: " + sample_run},
        {"a typed name ends at a blank", {}, "my lap.qdp\n", "File name: " + sample_run},
        {"end of input at the prompt", {}, "", "File name: " + cannot_open},
        {"only white space at the prompt", {}, " \n\t\n", "File name: " + cannot_open},
        {"standard input closed", {}, std::nullopt, "File name: " + cannot_open},
        {"a name in several scripts", {utf8}, "", sample_run},
        {"the same name typed", {}, utf8 + "\n", "File name: " + sample_run},
    };
    expect_runs(runs);
}

TEST_F(EndToEnd, EachEndingPrintsItsMessageAndGivesItsStatus) {
    fs::create_directory("folder");
    ASSERT_TRUE(write_bytes("empty.qdp", {}));
    ASSERT_TRUE(write_bytes("text.txt", std::vector<std::byte>(2000, std::byte{'x'})));
    HotlapFields one_sided = sample_hotlap();
    for (auto& wheel : one_sided.wheels) {
        wheel.longitudinal_offset = -1.0F;
    }
    ASSERT_TRUE(write_bytes("one-sided.qdp", build_hotlap(one_sided)));
    // To a file, a name's control characters stay as they are, byte for byte.
    HotlapFields crafted = sample_hotlap();
    crafted.player = "\x1b[2J\a\rBrake Balance\t99%\xc2\x9b\n";
    ASSERT_TRUE(write_bytes("crafted.qdp", build_hotlap(crafted)));
    std::string crafted_run = sample_run;
    const std::string player = "Jorg Pilot" + std::string(22, '\0');
    crafted_run.replace(crafted_run.find(player), player.size(),
                        crafted.player + std::string(32 - crafted.player.size(), '\0'));
    std::vector<ExpectedRun> runs{
        {"missing file", {"missing.qdp"}, "", cannot_open},
        {"a folder", {"folder"}, "", cannot_open},
        {"empty file", {"empty.qdp"}, "", "File size: 0 bytesFile Error/Not A Hotlap!"},
        {"not a hotlap", {"text.txt"}, "", "File size: 2000 bytesFile Error/Not A Hotlap!"},
        {"no front or rear",
         {"one-sided.qdp"},
         "",
         "File size: 4096 bytes" + sample_info +
             "Error: can't figure out what tires are front/rear :-)\n",
         1},
        {"control characters in a name", {"crafted.qdp"}, "", crafted_run},
    };
    expect_runs(runs);
}

TEST_F(EndToEnd, AFullDiskFailsWithStatus2) {
    if (!std::ofstream(full_device).is_open()) {
        GTEST_SKIP() << full_device << " does not open: no device here fails every write";
    }
    expect_runs({{.what = "a full disk",
                  .args = {"sample.qdp"},
                  .input = "",
                  .status = 2,
                  .err = write_error("No space left on device"),
                  .output_to = full_device}});
}

TEST_F(EndToEnd, LongNamesOpenAndFilesOf2GiBOrMoreAreRefused) {
    fs::path deep;
    for (int level = 0; level < 24; ++level) {
        deep /= std::string(50, static_cast<char>('a' + level));
    }
    fs::create_directories(deep / "up");
    ASSERT_TRUE(write_bytes(deep / "sample.qdp", build_hotlap(sample_hotlap())));
    const std::string long_name = (deep / "sample.qdp").string();
    ASSERT_GT(long_name.size(), 1023U);
    // Forward slashes and a `..`, which Windows resolves before it opens.
    const std::string roundabout =
        (fs::current_path() / deep / "up" / "..").generic_string() + "//sample.qdp";

    // Sparse: no disk space is used. Its start is a whole lap, so only the
    // size limit keeps the tool from loading and reporting on it.
    fs::copy_file("sample.qdp", "huge.qdp");
    fs::resize_file("huge.qdp", 3ULL << 30);
    // Far longer than a lap, and not a whole number of pages: loaded whole all the same.
    fs::copy_file("sample.qdp", "grown.qdp");
    fs::resize_file("grown.qdp", (3ULL << 20) + 5);

    expect_runs({
        {"a name over 1023 characters", {long_name}, "", sample_run},
        {"the same name typed", {}, long_name, "File name: " + sample_run},
        {"a long absolute name, not in canonical form", {roundabout}, "", sample_run},
        {"a lap grown past 2 MiB", {"grown.qdp"}, "", "File size: 3145733 bytes" + sample_report},
        {"3 GiB", {"huge.qdp"}, "", "File size: 3221225472 bytesFile Error/Not A Hotlap!"},
    });
}

TEST_F(EndToEnd, WritesNothingAndChangesNothing) {
    fs::create_directory("empty");
    fs::copy_file("sample.qdp", "lap.qdp");
    fs::permissions("lap.qdp", fs::perms::owner_read | fs::perms::group_read);
    const auto modified = fs::last_write_time("lap.qdp");
    const auto permissions = fs::status("lap.qdp").permissions();
    fs::current_path("empty");
    expect_runs({{"read-only file", {"../lap.qdp"}, "", sample_run}});
    // The runner's own capture files are the only ones in the folder.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(".")) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"stderr.txt", "stdin.txt", "stdout.txt"}));
    EXPECT_EQ(read_bytes("../lap.qdp"), read_bytes("../sample.qdp"));
    EXPECT_EQ(fs::last_write_time("../lap.qdp"), modified);
    EXPECT_EQ(fs::status("../lap.qdp").permissions(), permissions);
}

} // namespace
