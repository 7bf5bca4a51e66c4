// The tool's runs as a user makes them, on every platform: arguments, the
// prompt, each way a run ends, long names, huge files.
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
using namespace std::string_literals;

TEST_F(EndToEnd, CommandLineAndPrompt) {
    const std::string sample = "File size: 4096 bytes" + sample_report;
    write_file("my", build_hotlap(sample_hotlap()));
    expect_runs({
        {"an argument", {"sample.qdp"}, "", sample, 0},
        {"only the first argument counts",
         {"sample.qdp", "missing.qdp", "x"},
         std::nullopt,
         sample,
         0},
        {"a name typed at the prompt", {}, " \t\nsample.qdp\nrest", "File name: " + sample, 0},
        {"a typed name ends at a blank", {}, "my lap.qdp\n", "File name: " + sample, 0},
        {"end of input at the prompt", {}, "", "File name: " + cannot_open, 0},
        {"only white space at the prompt", {}, " \n\t\n", "File name: " + cannot_open, 0},
        {"standard input closed", {}, std::nullopt, "File name: " + cannot_open, 0},
    });
}

TEST_F(EndToEnd, EachWayARunEnds) {
    fs::create_directory("folder");
    write_file("empty.qdp", {});
    write_file("text.txt", std::vector<std::byte>(2000, std::byte{'x'}));
    HotlapFields one_sided = sample_hotlap();
    for (auto& wheel : one_sided.wheels) {
        wheel.longitudinal_offset = -1.0F;
    }
    write_file("one-sided.qdp", build_hotlap(one_sided));
    expect_runs({
        {"missing file", {"missing.qdp"}, "", cannot_open, 0},
        {"a folder", {"folder"}, "", cannot_open, 0},
        {"empty file", {"empty.qdp"}, "", "File size: 0 bytesFile Error/Not A Hotlap!", 0},
        {"not a hotlap", {"text.txt"}, "", "File size: 2000 bytesFile Error/Not A Hotlap!", 0},
        {"no front or rear",
         {"one-sided.qdp"},
         "",
         "File size: 4096 bytes" + sample_info +
             "Error: can't figure out what tires are front/rear :-)\n",
         1},
    });
}

TEST_F(EndToEnd, NamesOutsideAnyAnsiCodePage) {
    // Players name their laps in their own scripts.
    const std::u8string name = u8"J\u00f6rg_\u30e9\u30c3\u30d7.qdp";
    write_file(fs::path(name), build_hotlap(sample_hotlap()));
    const std::string utf8(name.begin(), name.end());
    const std::string sample = "File size: 4096 bytes" + sample_report;
    expect_runs({
        {"as an argument", {utf8}, "", sample, 0},
        {"typed at the prompt", {}, utf8 + "\n", "File name: " + sample, 0},
    });
}

TEST_F(EndToEnd, LongNamesAndHugeFiles) {
    fs::path deep;
    for (int level = 0; level < 24; ++level) {
        deep /= std::string(50, static_cast<char>('a' + level));
    }
    fs::create_directories(deep);
    write_file(deep / "sample.qdp", build_hotlap(sample_hotlap()));
    const std::string long_name = (deep / "sample.qdp").string();
    ASSERT_GT(long_name.size(), 1023U);

    // Sparse: no disk space is used, and the tool must not read or load it.
    { std::ofstream("huge.qdp"); }
    fs::resize_file("huge.qdp", 3ULL << 30);
    // Large enough to be loaded into huge pages, and not a whole number of them.
    fs::copy_file("sample.qdp", "grown.qdp");
    fs::resize_file("grown.qdp", (3ULL << 20) + 5);

    expect_runs({
        {"a name over 1023 characters",
         {long_name},
         "",
         "File size: 4096 bytes" + sample_report,
         0},
        {"the same name typed",
         {},
         long_name,
         "File name: File size: 4096 bytes" + sample_report,
         0},
        {"a lap grown past 2 MiB",
         {"grown.qdp"},
         "",
         "File size: 3145733 bytes" + sample_report,
         0},
        {"3 GiB", {"huge.qdp"}, "", "File size: 3221225472 bytesFile Error/Not A Hotlap!", 0},
    });
}

TEST_F(EndToEnd, ReportsAFileThatDeliversLessThanItsLength) {
    // sysfs gives every attribute a length of 4096 but holds far fewer bytes.
    const fs::path attribute = "/sys/kernel/mm/transparent_hugepage/enabled";
    std::error_code error;
    if (fs::file_size(attribute, error) != 4096 || error) {
        GTEST_SKIP() << "no sysfs attribute of length 4096 here";
    }
    expect_runs({{"short read",
                  {attribute.string()},
                  "",
                  "File size: 4096 bytes\nUnable to read the whole file\n",
                  0}});
}

TEST_F(EndToEnd, WritesNothingAndChangesNothing) {
    fs::create_directory("empty");
    fs::copy_file("sample.qdp", "lap.qdp");
    fs::permissions("lap.qdp", fs::perms::owner_read | fs::perms::group_read);
    const auto modified = fs::last_write_time("lap.qdp");
    const auto permissions = fs::status("lap.qdp").permissions();
    fs::current_path("empty");
    expect_runs(
        {{"read-only file", {"../lap.qdp"}, "", "File size: 4096 bytes" + sample_report, 0}});
    // The runner's own capture files are the only ones in the folder.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(".")) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"stderr.txt", "stdin.txt", "stdout.txt"}));
    EXPECT_EQ(read_file("../lap.qdp"), read_file("../sample.qdp"));
    EXPECT_EQ(fs::last_write_time("../lap.qdp"), modified);
    EXPECT_EQ(fs::status("../lap.qdp").permissions(), permissions);
}

} // namespace
