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

#ifndef _WIN32
#include <array>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

std::string write_error(const std::string& reason) {
    return "zvk-setup-dumper: cannot write to standard output: " + reason + "\n";
}

#ifndef _WIN32
// Whether the process is in open(2) within five seconds; the first field of
// /proc/PID/syscall is the number of the call it waits in.
bool waits_in_open(pid_t process) {
    long call = -1;
    for (int tries = 0; tries < 500 && call != SYS_openat && call != SYS_open; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream("/proc/" + std::to_string(process) + "/syscall") >> call;
    }
    return call == SYS_openat || call == SYS_open;
}

// What a named pipe's writer sends in one write, read within five seconds.
std::string read_pipe(const char* name) {
    const int pipe = open(name, O_RDONLY | O_NONBLOCK);
    pollfd ready{pipe, POLLIN, 0};
    std::array<char, 64> text{};
    const ssize_t got = poll(&ready, 1, 5000) == 1 ? read(pipe, text.data(), text.size()) : 0;
    close(pipe);
    return {text.data(), static_cast<std::size_t>(std::max<ssize_t>(got, 0))};
}
#endif

TEST_F(EndToEnd, CommandLineAndPrompt) {
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

TEST_F(EndToEnd, EachWayARunEnds) {
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
#ifdef _WIN32
    // Devices are never opened: their opening alone may connect to them.
    for (const char* device : {"NUL", R"(\\?\NUL)", R"(\\.\pipe\lap)"}) {
        runs.push_back({device, {device}, "", cannot_open});
    }
#else
    // Only regular files are opened, found through links.
    for (const char* device : {"/dev/null", "/dev/zero"}) {
        runs.push_back({device, {device}, "", cannot_open});
    }
    fs::create_symlink("sample.qdp", "link.qdp");
    runs.push_back({"a link to a lap", {"link.qdp"}, "", sample_run});
    runs.push_back({.what = "/dev/stdin from a lap",
                    .args = {"/dev/stdin"},
                    .out = sample_run,
                    .input_from = "sample.qdp"});
    runs.push_back({.what = "standard output closed",
                    .args = {"sample.qdp"},
                    .input = "",
                    .status = 2,
                    .err = write_error("Bad file descriptor"),
                    .output_to = "&-"});
    ASSERT_EQ(mkfifo("pipe.qdp", 0600), 0);
    runs.push_back({.what = "a named pipe with no writer",
                    .args = {"pipe.qdp"},
                    .input = "",
                    .out = cannot_open,
                    .setup = "timeout 10"});
    // Files of /proc say they are empty, and a seek to the end finds no end.
    runs.push_back({"a file of /proc, whose end is not its length",
                    {"/proc/self/status"},
                    "",
                    "File size: 0 bytesFile Error/Not A Hotlap!"});
#endif
    expect_runs(runs);
#ifndef _WIN32
    // A writer already waiting on a named pipe is neither released nor killed.
    const pid_t writer = fork();
    if (writer == 0) {
        const int pipe = open("pipe.qdp", O_WRONLY);
        _exit(pipe >= 0 && write(pipe, "lap\n", 4) == 4 ? 0 : 1);
    }
    ASSERT_TRUE(waits_in_open(writer));
    expect_runs({{"a named pipe with a writer", {"pipe.qdp"}, "", cannot_open}});
    EXPECT_TRUE(waits_in_open(writer));
    EXPECT_EQ(read_pipe("pipe.qdp"), "lap\n");
    waitpid(writer, nullptr, 0);
#endif
}

TEST_F(EndToEnd, AFullDisk) {
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

TEST_F(EndToEnd, LongNamesAndHugeFiles) {
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
    // Large enough to be loaded into huge pages, and not a whole number of them.
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
