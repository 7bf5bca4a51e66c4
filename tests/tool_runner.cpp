#include "tool_runner.hpp"

#include "byte_files.hpp"
#include "hotlap_builder.hpp"

#include <cstdlib>
#include <fstream>
#include <iterator>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#endif

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

// One line of the information block: the label and every byte of the field.
std::string info_line(const std::string& label, const std::string& text, std::size_t width) {
    return label + text + std::string(width - text.size(), '\0') + "\n";
}

} // namespace

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

namespace {

std::string quoted(const std::string& word) {
#ifdef _WIN32
    return '"' + word + '"'; // names in the tests hold no quotes
#else
    std::string text = "'";
    for (const char c : word) {
        text += c == '\'' ? "'\\''"s : std::string(1, c);
    }
    return text + "'";
#endif
}

#ifdef _WIN32
// What reaches a file from standard output in text mode: CR LF line ends.
std::string with_crlf(const std::string& text) {
    std::string converted;
    for (const char c : text) {
        converted += c == '\n' ? "\r\n"s : std::string(1, c);
    }
    return converted;
}

int run_command(const std::string& command) {
    // The interpreter drops the outermost quotes of a line that holds several.
    const std::string line = '"' + command + '"';
    std::wstring wide(line.size(), L'\0');
    wide.resize(static_cast<std::size_t>(
        MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), wide.data(),
                            static_cast<int>(wide.size()))));
    return _wsystem(wide.c_str());
}
// The C++ library cannot walk below MAX_PATH, where the long-name test goes,
// nor delete a read-only file: Win32 with extended paths can.
void remove_tree(const std::wstring& folder) {
    WIN32_FIND_DATAW entry{};
    HANDLE const search = FindFirstFileW((folder + LR"(\*)").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            const std::wstring path = folder + LR"(\)" + name;
            if (name == L"." || name == L"..") {
                continue;
            }
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                remove_tree(path);
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &entry) != 0);
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

void remove_folder(const fs::path& folder) {
    remove_tree(LR"(\\?\)" + folder.wstring());
}
#else
int run_command(const std::string& command) {
    const int wait_status = std::system(command.c_str());
    return WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
}

void remove_folder(const fs::path& folder) {
    fs::remove_all(folder);
}
#endif

} // namespace

std::string read_file(const fs::path& path) {
    const auto bytes = read_bytes(path);
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

void write_file(const fs::path& path, const std::vector<std::byte>& bytes) {
    ASSERT_TRUE(write_bytes(path, bytes)) << path;
}

ToolRun run_tool(const std::vector<std::string>& args, const std::optional<std::string>& input,
                 const std::string& shell_setup) {
    // A checker such as valgrind may run the tool: ZVK_TOOL_WRAPPER="valgrind -q".
    const char* const wrapper = std::getenv("ZVK_TOOL_WRAPPER");
    std::string command = shell_setup + (wrapper ? wrapper + " "s : "") +
                          quoted(fs::path(TOOL_FILE).make_preferred().string());
    for (const auto& arg : args) {
        command.append(1, ' ').append(quoted(arg));
    }
    if (input) {
        std::ofstream("stdin.txt", std::ios::binary) << *input;
        command += " <stdin.txt";
    } else {
#ifdef _WIN32
        command += " <NUL";
#else
        command += " <&-";
#endif
    }
    command += " >stdout.txt 2>stderr.txt";
    const int status = run_command(command);
    return {read_file("stdout.txt"), read_file("stderr.txt"), status};
}

void expect_runs(const std::vector<Case>& cases, const std::string& shell_setup) {
    for (const auto& c : cases) {
        const ToolRun result = run_tool(c.args, c.input, shell_setup);
#ifdef _WIN32
        // The interpreter's PAUSE may print its prompt after the report.
        const std::string expected = with_crlf(banner + c.out);
        const std::string rest = result.out.substr(std::min(expected.size(), result.out.size()));
        EXPECT_EQ(result.out.substr(0, expected.size()), expected) << c.what;
        EXPECT_TRUE(rest.empty() || rest.starts_with("Press any key to continue"))
            << c.what << rest;
#else
        EXPECT_EQ(result.out, banner + c.out) << c.what;
#endif
        EXPECT_EQ(result.err, "") << c.what;
        EXPECT_EQ(result.status, c.status) << c.what;
    }
}

void EndToEnd::SetUp() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    previous_ = fs::current_path();
    folder_ = previous_ / ("e2e-"s + test->name());
    remove_folder(folder_);
    fs::create_directories(folder_);
    fs::current_path(folder_);
    write_file("sample.qdp", build_hotlap(sample_hotlap()));
}

void EndToEnd::TearDown() {
    fs::current_path(previous_);
    remove_folder(folder_);
}
