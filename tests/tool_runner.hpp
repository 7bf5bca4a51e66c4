// Runs the built tool as a user would, through the system's command
// interpreter, and compares what it prints with what is expected.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

inline const std::string banner = "ZVK Hotlap QDP File Setting Dumper by Brasko & Telvin\n";
inline const std::string cannot_open = "File doesn't exist/Unable to open file\n";

// Everything after the size line for the example file, and its first part.
extern const std::string sample_info;
extern const std::string sample_report;

struct ToolRun {
    std::string out;
    std::string err;
    int status = -1;
};

// Runs the tool with `args` (UTF-8) in the current folder; standard input is
// `input`, or closed. `shell_setup` runs first in the same shell.
ToolRun run_tool(const std::vector<std::string>& args, const std::optional<std::string>& input,
                 const std::string& shell_setup = "");

struct Case {
    const char* what;
    std::vector<std::string> args;
    std::optional<std::string> input;
    std::string out; // after the banner, with "\n" line ends
    int status;
};

// Runs each case and checks standard output, standard error and exit status.
void expect_runs(const std::vector<Case>& cases, const std::string& shell_setup = "");

std::string read_file(const std::filesystem::path& path);
void write_file(const std::filesystem::path& path, const std::vector<std::byte>& bytes);

// Each test works in a folder of its own, below the one it starts in, that
// holds the example file and whatever else the test names.
class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

private:
    std::filesystem::path folder_;
    std::filesystem::path previous_;
};
