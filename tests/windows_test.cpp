// What only Windows has: the tool started from a batch file, names of devices
// and pipes, the extended form of long names (Wine opens long names without
// it and reaches no share, so only those rules can be checked), a lap's texts
// read in the code page they were written in, for a console, and how each kind
// of output shows them.
#include "platform_windows.hpp"
#include "text_sink.hpp"
#include "tool_runner.hpp"

#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <string>
#include <vector>
#include <windows.h>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

TEST_F(EndToEnd, APartlyQuotedProgramPathInABatchFileRunsTheTool) {
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

// A name as the player typed it: in the ANSI code page, 1252 here, or in
// UTF-8; what follows its NUL does not change how it is read. Its controls,
// and the characters that reorder a line, are shown by the core's rules.
TEST(ConsoleText, NamesInTheLettersTheyWereWrittenIn) {
    ASSERT_EQ(GetACP(), 1252U) << "the tests run in a locale whose ANSI code page is 1252";
    const std::pair<std::string, std::string> cases[] = {
        {"J\xf6rg \xc9mile", "J\xc3\xb6rg \xc3\x89mile"},
        {"J\xc3\xb6rg \xc3\x89mile", "J\xc3\xb6rg \xc3\x89mile"},
        {"J\xc3\xb6rg\0\xff\x9d"s, "J\xc3\xb6rg\0\xef\xbf\xbd\xef\xbf\xbd"s},
        {"Jorg\0\xc3\xb6"s, "Jorg\0\xc3\x83\xc2\xb6"s},
        {"J\xf6rg\0\xc3\xb6"s, "J\xc3\xb6rg\0\xc3\x83\xc2\xb6"s},
        {"\x80\x9a\x9c", "\xe2\x82\xac\xc5\xa1\xc5\x93"}, // letters in 1252: € š œ
        {"\x81\x8d\x8f\x90\x9d", "<U+0081><U+008D><U+008F><U+0090><U+009D>"},
        {"\xc2\x9b\x1b[2J\x7f", "<U+009B>^[[2J^?"},
        {"\xe2\x80\x8f"
         "12 - 34\xe2\x80\xae",
         "<U+200F>12 - 34<U+202E>"},
        {"", ""},
    };
    for (const auto& [field, shown] : cases) {
        StringSink out{platform::console_display()};
        out.write_field(std::as_bytes(std::span{field}));
        EXPECT_EQ(out.text(), shown) << ::testing::PrintToString(field);
    }
}

// Standard output as a batch file may give it: a device such as NUL gets the
// controls shown, a file or a pipe every byte. A console, also one opened for
// writing only, is console.exp's.
TEST(OutputDisplay, ByWhatTheOutputIs) {
    HANDLE const device = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE const file = CreateFileW(L"display.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    HANDLE pipe_in = nullptr;
    HANDLE pipe_out = nullptr;
    ASSERT_TRUE(CreatePipe(&pipe_out, &pipe_in, nullptr, 0));
    const std::pair<HANDLE, Display::Kind> cases[] = {
        {device, Display::Kind::controls_only},
        {file, Display::Kind::as_is},
        {pipe_in, Display::Kind::as_is},
    };
    for (const auto& [output, kind] : cases) {
        EXPECT_EQ(platform::display_for(output).kind, kind) << GetFileType(output);
        CloseHandle(output);
    }
    CloseHandle(pipe_out);
}

} // namespace
