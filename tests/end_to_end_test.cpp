// Runs the built tool as a user would and compares standard output, standard
// error and exit status byte for byte.
#include "hotlap_builder.hpp"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#endif

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

const std::string banner = "ZVK Hotlap QDP File Setting Dumper by Brasko & Telvin\n";
const std::string cannot_open = "File doesn't exist/Unable to open file\n";

// One line of the information block: the label and every byte of the field.
std::string info_line(const std::string& label, const std::string& text, std::size_t width) {
    return label + text + std::string(width - text.size(), '\0') + "\n";
}

// Everything after the size line for the example file.
const std::string sample_info =
    "\n--------File Info--------\n" + info_line("ZVK Version: ", "1.2.7", 8) +
    info_line("Player: ", "Jorg Pilot", 32) + info_line("Car: ", "Kestrel GT3", 32) +
    info_line("Track: ", "MNZ", 4) + info_line("Weather: ", "Dry, 24C", 16);
const std::string sample_report = sample_info +
                                  "\n--------Rear Suspension---------\n"
                                  "Motion Range:\t 0.063\tm\n"
                                  "Stiffness:\t 95.0\tN/mm\n"
                                  "Bump Damping:\t 4.2\tNs/mm\n"
                                  "Rebound Damping: 7.8\tNs/mm\n"
                                  "Anti Roll:\t 65.0\tN/mm\n"
                                  "Rear Tire Type:  RACE R2\n"
                                  "\n--------Front Suspension--------\n"
                                  "Motion Range:\t 0.055\tm\n"
                                  "Stiffness:\t 120.0\tN/mm\n"
                                  "Bump Damping:\t 3.6\tNs/mm\n"
                                  "Rebound Damping: 6.9\tNs/mm\n"
                                  "Anti Roll:\t 82.5\tN/mm\n"
                                  "Front Tire Type: RACE R1\n"
                                  "\n--------Brakes------------------\n"
                                  "Maximum Per Wheel\t1375 Nm\n"
                                  "Brake Balance (front)\t58%\n"
                                  "\n--------Gearbox ratios----------\n"
                                  "1st 3.214\n2nd 2.105\n3rd 1.562\n4th 1.238\n5th 1.000\n"
                                  "Final drive: 4.125\n"
                                  "\n";

struct ToolRun {
    std::string out;
    std::string err;
    int status = -1;
};

std::string read_file(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

void write_file(const fs::path& path, const std::vector<std::byte>& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::string quoted(const std::string& word) {
    std::string text = "'";
    for (const char c : word) {
        text += c == '\'' ? "'\\''"s : std::string(1, c);
    }
    return text + "'";
}

// Runs the tool with `args`; standard input is `input`, or closed.
// `shell_setup` runs first in the same shell, e.g. to set a resource limit.
ToolRun run_tool(const std::vector<std::string>& args, const std::optional<std::string>& input,
                 const std::string& shell_setup = "") {
    // A checker such as valgrind may run the tool: ZVK_TOOL_WRAPPER="valgrind -q".
    const char* const wrapper = std::getenv("ZVK_TOOL_WRAPPER");
    std::string command = shell_setup + (wrapper ? wrapper + " "s : "") + quoted(TOOL_FILE);
    for (const auto& arg : args) {
        command.append(1, ' ').append(quoted(arg));
    }
    if (input) {
        std::ofstream("stdin.txt", std::ios::binary) << *input;
        command += " <stdin.txt";
    } else {
        command += " <&-";
    }
    command += " >stdout.txt 2>stderr.txt";
    const int wait_status = std::system(command.c_str());
    ToolRun result{read_file("stdout.txt"), read_file("stderr.txt"), -1};
    if (WIFEXITED(wait_status)) {
        result.status = WEXITSTATUS(wait_status);
    }
    return result;
}

// Each test works in a folder of its own that holds the files it names.
class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = fs::temp_directory_path() / ("zvk-e2e-"s + test->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        previous_ = fs::current_path();
        fs::current_path(folder_);
        write_file("sample.qdp", build_hotlap(sample_hotlap()));
    }
    void TearDown() override {
        fs::current_path(previous_);
        fs::remove_all(folder_);
    }

    fs::path folder_;
    fs::path previous_;
};

struct Case {
    const char* what;
    std::vector<std::string> args;
    std::optional<std::string> input;
    std::string out; // after the banner
    int status;
};

void expect_runs(const std::vector<Case>& cases, const std::string& shell_setup = "") {
    for (const auto& c : cases) {
        const ToolRun result = run_tool(c.args, c.input, shell_setup);
        EXPECT_EQ(result.out, banner + c.out) << c.what;
        EXPECT_EQ(result.err, "") << c.what;
        EXPECT_EQ(result.status, c.status) << c.what;
    }
}

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
    HotlapSpec one_sided = sample_hotlap();
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

TEST_F(EndToEnd, RefusesAFileItCannotHoldInMemory) {
#ifdef ZVK_SANITIZED
    GTEST_SKIP() << "the sanitizers' shadow memory needs more address space than the limit";
#endif
    if (std::getenv("ZVK_TOOL_WRAPPER") != nullptr) {
        GTEST_SKIP() << "a wrapper needs more address space than the limit";
    }
    { std::ofstream("big.qdp"); }
    fs::resize_file("big.qdp", 1ULL << 30);
    expect_runs({{"1 GiB with 256 MiB of address space",
                  {"big.qdp"},
                  "",
                  "File size: 1073741824 bytes\nNot enough memory to load the file\n",
                  0}},
                "ulimit -v 262144; ");
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

#ifndef _WIN32
TEST_F(EndToEnd, RefusesAFileWithNoEndToSeek) {
    ASSERT_EQ(mkfifo("pipe.qdp", 0600), 0);
    // A writer in the background lets the tool's open of the pipe go through.
    expect_runs({{"a named pipe", {"pipe.qdp"}, "", cannot_open, 0}},
                "(echo lap > pipe.qdp &); ");
}
#endif

TEST_F(EndToEnd, WritesNothingAndChangesNothing) {
    fs::create_directory("empty");
    fs::copy_file("sample.qdp", "lap.qdp");
    fs::permissions("lap.qdp", fs::perms::owner_read | fs::perms::group_read);
    const auto modified = fs::last_write_time("lap.qdp");
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
    EXPECT_EQ(fs::status("../lap.qdp").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::group_read);
}

} // namespace
