// Runs that only a POSIX system can stage: the pause on a real (pseudo-)
// terminal, a named pipe, a limit on the address space.
#include "tool_runner.hpp"

#include <array>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

namespace fs = std::filesystem;

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

TEST_F(EndToEnd, RefusesAFileWithNoEndToSeek) {
    ASSERT_EQ(mkfifo("pipe.qdp", 0600), 0);
    // A writer in the background lets the tool's open of the pipe go through.
    expect_runs({{"a named pipe", {"pipe.qdp"}, "", cannot_open, 0}}, "(echo lap > pipe.qdp &); ");
}

constexpr std::string_view press_any_key = "Press any key to continue . . . ";

bool same_settings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::equal(std::begin(a.c_cc), std::end(a.c_cc), b.c_cc) &&
           cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b);
}

// A pseudo-terminal: the test types and reads on the master side, and keeps
// the slave open to look at its settings.
class Terminal : public ::testing::Test {
protected:
    void SetUp() override {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master_, 0);
        ASSERT_EQ(grantpt(master_), 0);
        ASSERT_EQ(unlockpt(master_), 0);
        slave_name_ = ptsname(master_);
        slave_ = open(slave_name_.c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(slave_, 0);
        ASSERT_EQ(tcgetattr(slave_, &before_), 0);
    }
    void TearDown() override {
        close(slave_);
        close(master_);
    }

    // Starts the tool on a missing file, with the terminal as its controlling
    // terminal and standard input; standard output is `output`, or the terminal.
    pid_t start_tool(int output = -1) const {
        const pid_t child = fork();
        if (child == 0) {
            setsid();
            const int terminal = open(slave_name_.c_str(), O_RDWR); // becomes the controlling one
            dup2(terminal, STDIN_FILENO);
            dup2(output < 0 ? terminal : output, STDOUT_FILENO);
            dup2(terminal, STDERR_FILENO);
            execl(TOOL_FILE, TOOL_FILE, "missing.qdp", static_cast<char*>(nullptr));
            _exit(127);
        }
        return child;
    }

    // Reads what the tool wrote until `marker` appears or two seconds pass.
    std::string read_until(std::string_view marker) const {
        std::string text;
        const auto deadline = std::chrono::steady_clock::now() + 2s;
        while (text.find(marker) == std::string::npos &&
               std::chrono::steady_clock::now() < deadline) {
            pollfd ready{master_, POLLIN, 0};
            if (poll(&ready, 1, 50) == 1) {
                std::array<char, 256> chunk{};
                const ssize_t got = read(master_, chunk.data(), chunk.size());
                if (got <= 0) {
                    break;
                }
                text.append(chunk.data(), static_cast<std::size_t>(got));
            }
        }
        return text;
    }

    // Waits until the tool has switched the terminal to single keys.
    bool waits_for_a_key() const {
        for (int tries = 0; tries < 200; ++tries) {
            termios now{};
            if (tcgetattr(slave_, &now) == 0 && (now.c_lflag & ICANON) == 0) {
                return true;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    // The child's wait status, or -1 when it has not ended within five seconds.
    static int wait_for(pid_t child) {
        for (int tries = 0; tries < 500; ++tries) {
            int status = 0;
            if (waitpid(child, &status, WNOHANG) == child) {
                return status;
            }
            std::this_thread::sleep_for(10ms);
        }
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        return -1;
    }

    [[nodiscard]] bool settings_restored() const {
        termios after{};
        return tcgetattr(slave_, &after) == 0 && same_settings(before_, after);
    }

    int master_ = -1;
    int slave_ = -1;
    std::string slave_name_;
    termios before_{};
};

TEST_F(Terminal, OneKeyEndsThePause) {
    const pid_t tool = start_tool();
    EXPECT_NE(read_until(press_any_key).find(press_any_key), std::string::npos);
    ASSERT_TRUE(waits_for_a_key());
    ASSERT_EQ(write(master_, "x", 1), 1);
    const int status = wait_for(tool);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(read_until("\n"), "\r\n"); // the key is not echoed; the line is ended
    EXPECT_TRUE(settings_restored());
}

TEST_F(Terminal, SignalsDuringThePauseRestoreTheSettings) {
    struct Case {
        const char* what;
        int signal;
        bool typed; // Ctrl+C on the keyboard, or a signal sent by another process
    };
    for (const Case& c : {Case{"Ctrl+C", SIGINT, true}, Case{"SIGTERM", SIGTERM, false},
                          Case{"SIGHUP", SIGHUP, false}}) {
        const pid_t tool = start_tool();
        read_until(press_any_key);
        ASSERT_TRUE(waits_for_a_key()) << c.what;
        if (c.typed) {
            ASSERT_EQ(write(master_, "\x03", 1), 1);
        } else {
            kill(tool, c.signal);
        }
        const int status = wait_for(tool);
        ASSERT_TRUE(WIFSIGNALED(status)) << c.what;
        EXPECT_EQ(WTERMSIG(status), c.signal) << c.what;
        EXPECT_TRUE(settings_restored()) << c.what;
    }
}

TEST_F(Terminal, NoPauseWhenOutputIsRedirected) {
    std::array<int, 2> pipe_ends{};
    ASSERT_EQ(pipe(pipe_ends.data()), 0);
    const pid_t tool = start_tool(pipe_ends[1]);
    close(pipe_ends[1]);
    const int status = wait_for(tool);
    std::string out(512, '\0');
    const ssize_t got = read(pipe_ends[0], out.data(), out.size());
    close(pipe_ends[0]);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(out.substr(0, static_cast<std::size_t>(std::max<ssize_t>(got, 0))),
              "ZVK Hotlap QDP File Setting Dumper by Brasko & Telvin\n"
              "File doesn't exist/Unable to open file\n");
    EXPECT_TRUE(settings_restored());
}

} // namespace
