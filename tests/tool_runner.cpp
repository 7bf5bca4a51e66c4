#include "tool_runner.hpp"

#include "byte_files.hpp"
#include "hotlap_builder.hpp"

#include <cstdlib>
#include <span>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#endif

namespace fs = std::filesystem;
using namespace std::string_literals;

// The example's report, kept once in examples/sample.txt as the tool writes it
// to a file: the banner, the size line and the report, with the fields' zero
// bytes. Under Windows the comparisons turn its line ends into CR LF and
// allow PAUSE's prompt after it (expect_output).
namespace {
const std::string sample_output = read_text(SAMPLE_REPORT_FILE);
} // namespace

const std::string sample_run = sample_output.substr(sample_output.find('\n') + 1);
const std::string sample_report = sample_run.substr(sample_run.find(" bytes") + 6);
const std::string sample_info = sample_report.substr(0, sample_report.find("\n--------Rear"));

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
constexpr const char* closed_input = " <NUL";

// What reaches a file from a standard stream in text mode: CR LF line ends.
std::string as_written(const std::string& text) {
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
    const int status = _wsystem(wide.c_str());
    if (status == -1) { // the interpreter did not start; errno says nothing under Wine
        ADD_FAILURE() << "cmd.exe did not start, GetLastError " << GetLastError();
    }
    return status;
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
// The interpreter's PAUSE may print its prompt after the report.
void expect_output(const std::string& out, const std::string& expected_text, const char* what) {
    const std::string expected = as_written(expected_text);
    const std::string rest = out.substr(std::min(expected.size(), out.size()));
    EXPECT_EQ(out.substr(0, expected.size()), expected) << what;
    EXPECT_TRUE(rest.empty() || rest.starts_with("Press any key to continue")) << what << rest;
}
#else
constexpr const char* closed_input = " <&-";

std::string as_written(const std::string& text) {
    return text;
}

void expect_output(const std::string& out, const std::string& expected, const char* what) {
    EXPECT_EQ(out, expected) << what;
}

int run_command(const std::string& command) {
    const int wait_status = std::system(command.c_str());
    return WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
}

void remove_folder(const fs::path& folder) {
    fs::remove_all(folder);
}
#endif

struct Captured {
    std::string out;
    std::string err;
    int status;
};

Captured run_tool(const ExpectedRun& run) {
    // A checker such as valgrind may run the tool: ZVK_TOOL_WRAPPER="valgrind -q".
    const char* const wrapper = std::getenv("ZVK_TOOL_WRAPPER");
    // Another build of the tool, such as the .deb's, may take its place: ZVK_TOOL=path.
    const char* const tool = std::getenv("ZVK_TOOL");
    std::string command =
        run.setup + (run.setup.empty() ? "" : " ") + (wrapper ? wrapper + " "s : "") +
        quoted(run.program.empty() ? fs::path(tool ? tool : TOOL_FILE).make_preferred().string()
                                   : run.program);
    for (const auto& arg : run.args) {
        command.append(1, ' ').append(quoted(arg));
    }
    if (!run.input_from.empty()) {
        command += " <" + run.input_from;
    } else if (run.input) {
        EXPECT_TRUE(write_bytes("stdin.txt", std::as_bytes(std::span{*run.input})));
        command += " <stdin.txt";
    } else {
        command += closed_input;
    }
    command += " >" + (run.output_to.empty() ? "stdout.txt"s : run.output_to) + " 2>stderr.txt";
    const int status = run_command(command);
    return {read_text("stdout.txt"), read_text("stderr.txt"), status};
}

} // namespace

void expect_runs(const std::vector<ExpectedRun>& runs) {
    for (const auto& run : runs) {
        fs::remove("stdout.txt");
        const Captured result = run_tool(run);
        if (run.output_to.empty()) {
            expect_output(result.out, banner + run.out, run.what);
        }
        EXPECT_EQ(result.err, as_written(run.err)) << run.what;
        EXPECT_EQ(result.status, run.status) << run.what;
    }
}

void EndToEnd::SetUp() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    previous_ = fs::current_path();
    folder_ = previous_ / ("e2e-"s + test->name());
    remove_folder(folder_);
    fs::create_directories(folder_);
    fs::current_path(folder_);
    ASSERT_TRUE(write_bytes("sample.qdp", build_hotlap(sample_hotlap())));
}

void EndToEnd::TearDown() {
    fs::current_path(previous_);
    remove_folder(folder_);
}
