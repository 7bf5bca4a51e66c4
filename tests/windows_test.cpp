// Runs that only Windows stages: the tool started from a batch file.
#include "tool_runner.hpp"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

TEST_F(EndToEnd, APartlyQuotedProgramPathInABatchFile) {
    // The C runtime splits this line as every program does; the shell's
    // CommandLineToArgvW would see "\zvk-setup-dumper.exe" as the first argument.
    fs::create_directory("Laps tools");
    fs::copy_file(TOOL_FILE, "Laps tools/zvk-setup-dumper.exe");
    std::ofstream("laps.bat") << "@\"Laps tools\"\\zvk-setup-dumper.exe sample.qdp\r\n";
    expect_runs({{.what = "laps.bat",
                  .input = "",
                  .out = "File size: 4096 bytes" + sample_report,
                  .program = "laps.bat"}});
}

} // namespace
