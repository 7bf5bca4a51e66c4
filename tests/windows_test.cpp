// What only Windows has: the tool started from a batch file, names of devices
// and pipes, and the extended form of long names (Wine opens long names
// without it and reaches no share, so only those rules can be checked).
#include "platform_windows.hpp"
#include "tool_runner.hpp"

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>
#include <windows.h>

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
    // Their opening alone may connect to them: a pipe server waiting for a
    // client sees none, by any name (Windows connects to the names of a
    // share named pipe or IPC$; Wine does not, see OpenableName).
    HANDLE const server =
        CreateNamedPipeW(LR"(\\.\pipe\lap)", PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                         PIPE_TYPE_BYTE, 1, 512, 512, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    OVERLAPPED client{};
    client.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_FALSE(ConnectNamedPipe(server, &client));
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    for (const char* device : {"NUL", R"(\\?\NUL)", R"(\\.\pipe\lap)", R"(\??\pipe\lap)",
                               R"(\??\GLOBALROOT\Device\Null)", R"(\\localhost\pipe\lap)",
                               R"(\\?\UNC\localhost\PIPE\lap)", R"(//localhost/IPC$/lap)"}) {
        expect_runs({{device, {device}, "", cannot_open}});
        EXPECT_EQ(WaitForSingleObject(client.hEvent, 0), static_cast<DWORD>(WAIT_TIMEOUT))
            << device;
    }
    CancelIo(server);
    CloseHandle(client.hEvent);
    CloseHandle(server);
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

// Wine reaches no share, so that the rule for network names is checked here.
TEST(OpenableName, NeitherDeviceNorPipeByAnyName) {
    const std::pair<const wchar_t*, bool> cases[] = {
        {LR"(C:\laps\pipe\x.qdp)", true},   {LR"(\\server\share\pipe\x.qdp)", true},
        {LR"(\\server\pipes\x.qdp)", true}, {LR"(\\?\UNC\server\share\x.qdp)", true},
        {LR"(\??\pipe\lap)", false},        {LR"(\??\C:\x.qdp)", false},
        {LR"(\\server\pipe\lap)", false},   {LR"(\\server\IPC$\lap)", false},
        {LR"(//server/Pipe/lap)", false},   {LR"(\\?\UNC\server\PIPE\lap)", false},
        {LR"(\\?\UNC\server\ipc$)", false},
    };
    for (const auto& [name, opens] : cases) {
        EXPECT_EQ(platform::openable_name(name).has_value(), opens) << fs::path(name).string();
    }
}

} // namespace
