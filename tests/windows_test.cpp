// What only Windows has: the tool started from a batch file, and the extended
// form of long names (Wine opens long names without it, so only the rule
// itself can be checked).
#include "platform_windows.hpp"
#include "tool_runner.hpp"

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

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

TEST_F(EndToEnd, DevicesAreNeverOpened) {
    // Their opening alone may connect to them.
    std::vector<ExpectedRun> runs;
    for (const char* device : {"NUL", R"(\\?\NUL)", R"(\\.\pipe\lap)"}) {
        runs.push_back({device, {device}, "", cannot_open});
    }
    expect_runs(runs);
}

TEST(ExtendedForm, OnlyForLongNamesNotYetInIt) {
    const std::wstring at_limit = LR"(C:\)" + std::wstring(257, L'a'); // MAX_PATH characters
    const std::wstring share = LR"(\\server\share\)" + std::wstring(250, L'b');
    const std::pair<std::wstring, std::optional<std::wstring>> cases[] = {
        {at_limit.substr(0, at_limit.size() - 1), std::nullopt},
        {at_limit, LR"(\\?\)" + at_limit},
        {share, LR"(\\?\UNC\server\share\)" + std::wstring(250, L'b')},
        {LR"(\\?\)" + at_limit, std::nullopt},
        {LR"(\\.\)" + at_limit, std::nullopt},
        {LR"(\\server\share\short)", std::nullopt},
    };
    for (const auto& [resolved, expected] : cases) {
        EXPECT_EQ(platform::extended_form(resolved), expected) << resolved.size();
    }
}

} // namespace
