// Runs the built tool as a user would, through the system's command
// interpreter, and compares what it prints with what is expected.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

inline const std::string banner = "ZVK Hotlap QDP File Setting Dumper by Brasko & Telvin\n";
inline const std::string cannot_open = "File doesn't exist/Unable to open file\n";

inline std::string write_error(const std::string& reason) {
    return "zvk-setup-dumper: cannot write to standard output: " + reason + "\n";
}

// A device that takes no byte: every write fails as on a full disk. Under
// Wine, Z: is the Linux root.
#ifdef _WIN32
inline const std::string full_device = R"(Z:\dev\full)";
#else
inline const std::string full_device = "/dev/full";
#endif

// Everything after the size line for the example file, and its first part;
// and all a run on it prints after the banner.
extern const std::string sample_info;
extern const std::string sample_report;
extern const std::string sample_run;

// One run of the tool and what it must print.
struct ExpectedRun {
    const char* what;
    std::vector<std::string> args{};    // UTF-8
    std::optional<std::string> input{}; // standard input; nothing: closed
    std::string out{};                  // standard output after the banner, "\n" line ends
    int status = 0;
    std::string err{};        // standard error
    std::string setup{};      // shell words before the tool, e.g. "ulimit -v 1024; timeout 10"
    std::string input_from{}; // a file for standard input, instead of `input`
    std::string output_to{};  // a file for standard output, which is then not checked
    std::string program{};    // what runs instead of the tool, e.g. a script that runs it
};

// Runs each in the current folder and checks standard output, standard error
// and exit status.
void expect_runs(const std::vector<ExpectedRun>& runs);

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
