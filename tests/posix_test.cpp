// What only POSIX systems have. The pause on a real (pseudo-)terminal: the
// test types and reads on the master side, as a person at the keyboard
// would, and keeps the slave side open to look at the terminal's settings.
// And the runs of devices, named pipes, files of /proc and sysfs, standard
// output closed, and limits on the address space.
#include "byte_files.hpp"
#include "hotlap_builder.hpp"
#include "tool_runner.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::string_view press_any_key = "Press any key to continue . . . ";

bool same_settings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::equal(std::begin(a.c_cc), std::end(a.c_cc), b.c_cc) &&
           cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b);
}

// How the tool is started on the terminal.
struct Start {
    std::vector<const char*> args{"missing.qdp"};
    int output = -1;                   // standard output; -1 for the terminal
    int ignored_signal = 0;            // one the parent ignored, as `trap '' INT` does
    bool in_background = false;        // a job of its own, not the terminal's foreground
    bool job_control = true;           // false: no shell, as in a window opened for the tool
    bool non_blocking = false;         // input left non-blocking by another program
    std::vector<const char*> locale{}; // e.g. "LC_ALL=C"; none set: the C locale
};

// What the test, as the user, tells the shell to do with a stopped job.
constexpr char to_foreground = 'f'; // fg
constexpr char to_background = 'b'; // bg
constexpr char to_end = 'k';        // kill %1: SIGTERM, then SIGCONT, as bash sends them

constexpr std::string_view ctrl_z = "\x1a";

// One run of the tool on the terminal: how it starts, what the user does,
// and what must come of it.
struct TerminalRun {
    const char* what;
    Start start{};
    std::array<std::string_view, 2> shown{}; // on the screen, or where output goes
    bool pauses = true;
    int ends = 0;                 // the exit status, or minus the signal that ends the tool
    bool hang_up = false;         // at the prompt, instead of typing a name
    std::string_view typed = "x"; // during the pause
    int sent = 0;                 // a signal from another process during the pause, or 0
    int sent_next = 0;            // a second one, this long after the first:
    std::chrono::microseconds next_after{};
    std::string_view then{}; // what the shell is told, each time the tool stops
};

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
        close(report_);
        close(commands_);
        close(slave_);
        close(master_);
    }

    // Starts the tool as an interactive shell runs a job: in a session whose
    // controlling terminal is this one, a small shell leads and runs the tool
    // in a process group of its own, in the foreground unless asked otherwise.
    // The shell reports the tool's process id, then a byte each time the tool
    // stops, when it takes the terminal back and waits for `fg` or `kill %1`.
    // It ends as the tool ended (with 100 when a background job stops).
    // Without job control the tool leads the session itself.
    pid_t start_tool(const Start& how = {}) {
        std::array<int, 2> report{};
        std::array<int, 2> commands{};
        if (pipe(report.data()) != 0 || pipe(commands.data()) != 0) {
            return -1;
        }
        const pid_t shell = fork();
        if (shell != 0) {
            close(report[1]);
            close(commands[0]);
            close(report_);
            close(commands_);
            report_ = report[0];
            commands_ = commands[1];
            tool_ = shell;
            if (how.job_control && read(report_, &tool_, sizeof tool_) != sizeof tool_) {
                tool_ = -1;
            }
            return shell;
        }
        close(master_); // only the test holds it, so that closing it hangs up
        setsid();
        const int terminal = open(slave_name_.c_str(), O_RDWR); // becomes the controlling one
        dup2(terminal, STDIN_FILENO);
        dup2(how.output < 0 ? terminal : how.output, STDOUT_FILENO);
        dup2(terminal, STDERR_FILENO);
        if (how.non_blocking) {
            fcntl(terminal, F_SETFL, fcntl(terminal, F_GETFL) | O_NONBLOCK);
        }
        const rlimit no_core{0, 0};
        setrlimit(RLIMIT_CORE, &no_core);
        if (how.ignored_signal != 0) {
            std::signal(how.ignored_signal, SIG_IGN);
        }
        if (!how.job_control) {
            run_tool(how);
        }
        std::array<int, 2> handed_over{};
        if (pipe(handed_over.data()) != 0) {
            _exit(126);
        }
        const pid_t job = fork();
        if (job == 0) {
            setpgid(0, 0);
            char ready = 0;
            if (read(handed_over[0], &ready, 1) != 1) {
                _exit(126);
            }
            run_tool(how);
        }
        setpgid(job, job);
        std::signal(SIGTTOU, SIG_IGN); // as shells do, to hand the terminal over
        if (!how.in_background) {
            tcsetpgrp(STDIN_FILENO, job);
        }
        if (write(handed_over[1], "", 1) != 1 ||
            write(report[1], &job, sizeof job) != static_cast<ssize_t>(sizeof job)) {
            kill(job, SIGKILL);
            _exit(126);
        }
        for (;;) {
            int status = 0;
            waitpid(job, &status, WUNTRACED);
            if (WIFEXITED(status)) {
                _exit(WEXITSTATUS(status));
            }
            if (WIFSIGNALED(status)) {
                std::signal(WTERMSIG(status), SIG_DFL);
                raise(WTERMSIG(status));
            }
            if (how.in_background) {
                kill(job, SIGKILL);
                _exit(100);
            }
            tcsetpgrp(STDIN_FILENO, getpgrp());
            char command = 0;
            if (write(report[1], "S", 1) != 1 || read(commands[0], &command, 1) != 1) {
                command = 0; // the test is gone: end the job
            }
            if (command == to_foreground) {
                tcsetpgrp(STDIN_FILENO, job);
                kill(job, SIGCONT);
            } else if (command == to_background) {
                kill(job, SIGCONT);
            } else if (command == to_end) {
                kill(job, SIGTERM);
                kill(job, SIGCONT);
            } else {
                kill(job, SIGKILL);
            }
        }
    }

    [[noreturn]] static void run_tool(const Start& how) {
        for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG", "LOCPATH"}) {
            unsetenv(variable);
        }
        for (const char* setting : how.locale) {
            putenv(const_cast<char*>(setting));
        }
        std::vector<const char*> argv{TOOL_FILE};
        argv.insert(argv.end(), how.args.begin(), how.args.end());
        argv.push_back(nullptr);
        execv(TOOL_FILE, const_cast<char* const*>(argv.data()));
        _exit(127);
    }

    // Whether the shell reported the tool stopped within five seconds.
    [[nodiscard]] bool tool_stopped() const {
        pollfd ready{report_, POLLIN, 0};
        char stopped = 0;
        return poll(&ready, 1, 5000) == 1 && read(report_, &stopped, 1) == 1;
    }

    // Tells the shell what to do with the stopped job.
    void tell_shell(char command) const { ASSERT_EQ(write(commands_, &command, 1), 1); }

    // Marks the terminal's settings with a character no one uses, so that the
    // test can tell when the tool has set them anew.
    void mark_settings() const {
        termios marked{};
        ASSERT_EQ(tcgetattr(slave_, &marked), 0);
        marked.c_cc[VEOL2] = 'q';
        ASSERT_EQ(tcsetattr(slave_, TCSANOW, &marked), 0);
    }
    [[nodiscard]] bool settings_set_anew() const {
        return settings_become([](const termios& now) { return now.c_cc[VEOL2] != 'q'; });
    }

    // Closes the terminal's master side: the terminal hangs up.
    void hang_up() {
        close(master_);
        master_ = -1;
    }

    void type(std::string_view keys) const {
        ASSERT_EQ(write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }

    // Reads what the tool wrote until `marker` appears or `patience` passes.
    std::string read_until(std::string_view marker, std::chrono::milliseconds patience = 2s) const {
        return read_from(master_, marker, patience);
    }

    // What a program reading the terminal next, such as the shell, receives.
    std::string next_line_read() const {
        type("z\n");
        return read_from(slave_, "\n", 2s);
    }

    // Waits until the tool has switched the terminal to single keys.
    bool waits_for_a_key() const {
        return settings_become([](const termios& now) { return (now.c_lflag & ICANON) == 0; });
    }

    // Whether the terminal's settings come to pass `test` within two seconds.
    template <class Test> bool settings_become(Test test) const {
        for (int tries = 0; tries < 200; ++tries) {
            termios now{};
            if (tcgetattr(slave_, &now) == 0 && test(now)) {
                return true;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    // How the child ended: its exit status, or minus the signal that ended
    // it; -1000 when it has not ended within five seconds.
    static int end_of(pid_t child) {
        for (int tries = 0; tries < 500; ++tries) {
            int status = 0;
            if (waitpid(child, &status, WNOHANG) == child) {
                return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
            }
            std::this_thread::sleep_for(10ms);
        }
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        return -1000;
    }

    [[nodiscard]] bool settings_restored() const {
        termios after{};
        return tcgetattr(slave_, &after) == 0 && same_settings(before_, after);
    }

    static std::string read_from(int descriptor, std::string_view marker,
                                 std::chrono::milliseconds patience) {
        std::string text;
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (text.find(marker) == std::string::npos &&
               std::chrono::steady_clock::now() < deadline) {
            pollfd ready{descriptor, POLLIN, 0};
            if (poll(&ready, 1, 50) == 1) {
                std::array<char, 256> chunk{};
                const ssize_t got = read(descriptor, chunk.data(), chunk.size());
                if (got <= 0) {
                    break;
                }
                text.append(chunk.data(), static_cast<std::size_t>(got));
            }
        }
        return text;
    }

    // Starts each run, answers the prompt and the pause as its row says, and
    // checks how it ends, what it showed and that the terminal is as before.
    void run_each(const std::vector<TerminalRun>& runs) {
        for (const TerminalRun& r : runs) {
            // A signal from another process ends the pause the moment it
            // comes, and nothing is printed after it: only runs the keyboard
            // ends wait to see that the pause waits, and for what follows.
            const bool by_keyboard = r.sent == 0;
            type(r.start.non_blocking ? "\x13" : ""); // Ctrl+S: a write would block
            const pid_t shell = start_tool(r.start);
            if (r.start.non_blocking) {
                std::this_thread::sleep_for(300ms);
                type("\x11"); // Ctrl+Q
            }
            std::string screen;
            if (r.start.args.empty()) {
                screen = read_until("File name: ");
                EXPECT_EQ(read_until(press_any_key, 300ms), "") << r.what << ": the prompt waits";
                r.hang_up ? hang_up() : type("missing.qdp\n");
            }
            if (r.pauses) {
                screen += read_until(press_any_key);
                ASSERT_TRUE(waits_for_a_key()) << r.what;
                if (by_keyboard) {
                    std::this_thread::sleep_for(300ms);
                    EXPECT_EQ(waitpid(shell, nullptr, WNOHANG), 0) << r.what << ": the pause waits";
                }
                mark_settings();
                type(r.typed);
                if (r.sent != 0) {
                    kill(tool_, r.sent);
                }
                if (r.sent_next != 0) {
                    const auto next = std::chrono::steady_clock::now() + r.next_after;
                    while (std::chrono::steady_clock::now() < next) {
                    }
                    kill(tool_, r.sent_next);
                }
                for (const char command : r.then) {
                    ASSERT_TRUE(tool_stopped()) << r.what;
                    EXPECT_TRUE(settings_restored()) << r.what;
                    tell_shell(command);
                }
                if (r.typed == ctrl_z && r.ends == 0) {
                    ASSERT_TRUE(settings_set_anew()) << r.what;
                    ASSERT_TRUE(waits_for_a_key()) << r.what;
                    type("x");
                }
            }
            EXPECT_EQ(end_of(shell), r.ends) << r.what;
            if (r.pauses && r.ends == 0) {
                EXPECT_EQ(read_until("\n"), "\r\n") << r.what; // the key is not echoed
                EXPECT_EQ(next_line_read(), "z\n") << r.what;
            }
            if (by_keyboard) {
                screen += read_until(press_any_key, 200ms); // all it wrote, now that it has ended
            }
            if (r.start.output >= 0) {
                screen = read_text("redirected.txt");
            }
            for (const std::string_view shown : r.shown) {
                EXPECT_NE(screen.find(shown), std::string::npos) << r.what << screen;
            }
            EXPECT_EQ(screen.find(press_any_key) != std::string::npos, r.pauses) << r.what;
            EXPECT_EQ(screen.find('\x1b'), std::string::npos) << r.what; // the tool sends none
            EXPECT_TRUE(r.hang_up || settings_restored()) << r.what;
        }
    }

    pid_t tool_ = -1; // the tool itself, for signals from another process

private:
    int master_ = -1;
    int slave_ = -1;
    int report_ = -1;
    int commands_ = -1;
    std::string slave_name_;
    termios before_{};
};

TEST_F(Terminal, EveryWayOutOfThePauseGivesTheTerminalBack) {
    std::vector<TerminalRun> runs = {
        {.what = "a key"},
        {.what = "an arrow key, whose rest must not reach the shell", .typed = "\x1b[A"},
        {.what = "Ctrl+C", .ends = -SIGINT, .typed = "\x03"},
        {.what = "Ctrl+\\", .ends = -SIGQUIT, .typed = "\x1c"},
        {.what = "Ctrl+C that the parent ignores, then a key",
         .start = {.ignored_signal = SIGINT},
         .typed = "\x03x"},
    };
    // Every signal whose default ends a process, sent by another one, faults
    // and real-time signals included: Linux numbers them 1 to 31, then from
    // SIGRTMIN, after those the C library keeps for itself.
    const std::vector<int> not_ending{SIGKILL, SIGSTOP, SIGTSTP, SIGTTIN, SIGTTOU,
                                      SIGCONT, SIGCHLD, SIGURG,  SIGWINCH};
    for (int deadly = 1; deadly <= SIGRTMAX; ++deadly) {
        if ((deadly < 32 || deadly >= SIGRTMIN) &&
            std::find(not_ending.begin(), not_ending.end(), deadly) == not_ending.end()) {
            runs.push_back(
                {.what = strsignal(deadly), .ends = -deadly, .typed = "", .sent = deadly});
        }
    }
    run_each(runs);
}

TEST_F(Terminal, TwoSignalsMicrosecondsApartGiveTheTerminalBack) {
    // As a supervisor that sends TERM twice, or bash's `kill %1`: the second
    // comes while the tool takes the first. Rare each time, so many runs; the
    // first that leaves the terminal raw ends the test.
    const std::array<std::pair<int, int>, 4> pairs{
        {{SIGTERM, SIGTERM}, {SIGINT, SIGINT}, {SIGHUP, SIGHUP}, {SIGTERM, SIGCONT}}};
    for (int run = 0; run < 400 && !HasFailure(); ++run) {
        const auto [first, second] = pairs.at(static_cast<std::size_t>(run) % pairs.size());
        run_each({{.what = strsignal(first),
                   .ends = -first,
                   .typed = "",
                   .sent = first,
                   .sent_next = second,
                   .next_after = std::chrono::microseconds{run % 10}}});
    }
}

TEST_F(Terminal, CtrlZGivesTheTerminalBack) {
    run_each({
        {.what = "fg, then a key", .typed = ctrl_z, .then = "f"},
        {.what = "bg, which stops at the terminal, fg, then a key", .typed = ctrl_z, .then = "bf"},
        {.what = "kill %1", .ends = -SIGTERM, .typed = ctrl_z, .then = "k"}, // not stopped again
        {.what = "with no shell to stop for, a key",
         .start = {.job_control = false},
         .typed = ctrl_z},
    });
}

TEST_F(Terminal, ControlsAreShownAndOnlyAPersonIsWaitedFor) {
    HotlapFields crafted = sample_hotlap();
    crafted.player = "\x1b[2J\x1b]0;x\a\rBrake\t99%\n\x7f\xc2\x9b";
    ASSERT_TRUE(write_bytes("crafted.qdp", build_hotlap(crafted)));
    // What an 8-bit terminal takes as a cursor query and a new window title.
    crafted.player = "\x9b"
                     "6n";
    crafted.car = "\x9d"
                  "2;x\x9c";
    ASSERT_TRUE(write_bytes("c1.qdp", build_hotlap(crafted)));
    crafted.player = "Pawe\xc5\x82 \xc5\x9awi\xc4\x85tek"; // 82 and 9A: UTF-8 letters' tails
    ASSERT_TRUE(write_bytes("polish.qdp", build_hotlap(crafted)));
    // Marks and isolates that would make the line read "34 - 12" and "3TG".
    crafted.player = "\xe2\x80\x8f"
                     "12 - 34";
    crafted.car = "\xe2\x81\xa7GT3";
    ASSERT_TRUE(write_bytes("bidi.qdp", build_hotlap(crafted)));
    const int redirected = open("redirected.txt", O_RDWR | O_CREAT | O_TRUNC, 0600);
    run_each({
        {"a name typed at the prompt", {.args = {}}, {"File name: ", "Unable to open file"}},
        {"a terminal left non-blocking, its output held with Ctrl+S at first",
         {.args = {}, .non_blocking = true},
         {"File name: ", "Unable to open file"}},
        {"control characters from the file, the tool's own tabs",
         {.args = {"crafted.qdp"}, .locale = {"LC_ALL=C.UTF-8"}},
         {"Player: ^[[2J^[]0;x^G^MBrake^I99%^J^?<U+009B>", "Brake Balance (front)\t58%"}},
        {"C1 bytes in the C locale, whose LC_ALL wins over LANG",
         {.args = {"c1.qdp"}, .locale = {"LC_ALL=C", "LANG=C.UTF-8"}},
         {"Player: <U+009B>6n", "Car: <U+009D>2;x<U+009C>"}},
        {"a name in UTF-8, by a locale not installed but named so",
         {.args = {"polish.qdp"}, .locale = {"LANG=pl_PL.UTF-8"}},
         {"Player: Pawe\xc5\x82 \xc5\x9awi\xc4\x85tek"}},
        {"characters that reorder the line, in UTF-8",
         {.args = {"bidi.qdp"}, .locale = {"LC_ALL=C.UTF-8"}},
         {"Player: <U+200F>12 - 34", "Car: <U+2067>GT3"}},
        {"C1 bytes alone, not UTF-8, in a locale named UTF-8 that an 8-bit terminal falls back "
         "from",
         {.args = {"c1.qdp"}, .locale = {"LANG=pl_PL.UTF-8"}},
         {"Player: <U+009B>6n", "Car: <U+009D>2;x<U+009C>"}},
        {"output redirected", {.output = redirected}, {"Telvin\nFile doesn't exist"}, false},
        {"a job in the background, which is not stopped", {.in_background = true}, {}, false},
        // Last, for the terminal is gone afterwards: a failed write.
        {"a hang-up at the prompt",
         {.args = {}, .ignored_signal = SIGHUP},
         {"File name: "},
         false,
         2,
         true},
    });
    close(redirected);
    for (const char* made : {"crafted.qdp", "c1.qdp", "polish.qdp", "bidi.qdp", "redirected.txt"}) {
        std::remove(made);
    }
}

TEST_F(Terminal, EachCharacterSetHasItsOwnControlsShown) {
    // Compiled here so that no locale need be installed. EUC-JP: 0x8E starts
    // a half-width letter, 0x9B alone is a control sequence introducer.
    // KOI8-R and CP1251 call 0x80-0x9F letters (CP1251 C2 84 is two), which
    // an 8-bit terminal obeys as C1 controls. GB18030: C2 80 is one letter.
    struct Set {
        const char* locale;
        const char* source;
        const char* charset;
        std::string player;
        std::string shown;
    };
    const Set sets[] = {
        {"ja_JP.EUC-JP", "ja_JP", "EUC-JP",
         "\x8e\xb1\x9b"
         "6n",
         "Player: \x8e\xb1<U+009B>6n"},
        {"ru_RU.KOI8-R", "ru_RU", "KOI8-R",
         "\xf0\xd2\xc9\x9d"
         "2;x\x9c\x9b"
         "6n",
         "Player: \xf0\xd2\xc9<9D>2;x<9C><9B>6n"},
        {"bg_BG.CP1251", "bg_BG", "CP1251",
         "\xc2\x84\x9d"
         "2;x\x9c",
         "Player: \xc2<84><9D>2;x<9C>"},
        {"zh_CN.GB18030", "zh_CN", "GB18030", "\xc0\xee\xc2\x80\xc2\xe2",
         "Player: \xc0\xee\xc2\x80\xc2\xe2"},
    };
    const std::string locales = (std::filesystem::current_path() / "locales").string();
    std::filesystem::create_directories(locales);
    const std::string locale_path = "LOCPATH=" + locales;
    std::vector<std::string> files;
    std::vector<std::string> settings;
    files.reserve(std::size(sets)); // each run holds pointers into them
    settings.reserve(std::size(sets));
    std::vector<TerminalRun> runs;
    for (const Set& set : sets) {
        // The sources are glibc's, which a system may leave out; where they
        // are, the locale must compile.
        if (!fs::exists(fs::path{"/usr/share/i18n/locales"} / set.source)) {
            GTEST_SKIP() << "no locale source " << set.source << " here (Debian: locales)";
        }
        ASSERT_EQ(std::system(("localedef -c -i " + std::string{set.source} + " -f " + set.charset +
                               " " + locales + "/" + set.locale + " >/dev/null 2>&1")
                                  .c_str()),
                  0)
            << "localedef cannot make " << set.locale;
        HotlapFields lap = sample_hotlap();
        lap.player = set.player;
        files.push_back(std::string{set.charset} + ".qdp");
        ASSERT_TRUE(write_bytes(files.back(), build_hotlap(lap)));
        settings.push_back(std::string{"LC_ALL="} + set.locale);
        runs.push_back({set.charset,
                        {.args = {files.back().c_str()},
                         .locale = {settings.back().c_str(), locale_path.c_str()}},
                        {set.shown}});
    }
    run_each(runs);
    std::filesystem::remove_all(locales);
    for (const std::string& file : files) {
        std::remove(file.c_str());
    }
}

// Whether the process is in open(2) within five seconds; the first field of
// /proc/PID/syscall is the number of the call it waits in.
bool waits_in_open(pid_t process) {
    long call = -1;
    for (int tries = 0; tries < 500 && call != SYS_openat && call != SYS_open; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream("/proc/" + std::to_string(process) + "/syscall") >> call;
    }
    return call == SYS_openat || call == SYS_open;
}

// What a named pipe's writer sends in one write, read within five seconds.
std::string read_pipe(const char* name) {
    const int pipe = open(name, O_RDONLY | O_NONBLOCK);
    pollfd ready{pipe, POLLIN, 0};
    std::array<char, 64> text{};
    const ssize_t got = poll(&ready, 1, 5000) == 1 ? read(pipe, text.data(), text.size()) : 0;
    close(pipe);
    return {text.data(), static_cast<std::size_t>(std::max<ssize_t>(got, 0))};
}

TEST_F(EndToEnd, OnlyRegularFilesAreOpened) {
    // Found through links; devices, pipes and standard input's own file too.
    std::vector<ExpectedRun> runs;
    for (const char* device : {"/dev/null", "/dev/zero"}) {
        runs.push_back({device, {device}, "", cannot_open});
    }
    fs::create_symlink("sample.qdp", "link.qdp");
    runs.push_back({"a link to a lap", {"link.qdp"}, "", sample_run});
    runs.push_back({.what = "/dev/stdin from a lap",
                    .args = {"/dev/stdin"},
                    .out = sample_run,
                    .input_from = "sample.qdp"});
    runs.push_back({.what = "standard output closed",
                    .args = {"sample.qdp"},
                    .input = "",
                    .status = 2,
                    .err = write_error("Bad file descriptor"),
                    .output_to = "&-"});
    ASSERT_EQ(mkfifo("pipe.qdp", 0600), 0);
    runs.push_back({.what = "a named pipe with no writer",
                    .args = {"pipe.qdp"},
                    .input = "",
                    .out = cannot_open,
                    .setup = "timeout 10"});
    // Files of /proc say they are empty, and a seek to the end finds no end.
    runs.push_back({"a file of /proc, whose end is not its length",
                    {"/proc/self/status"},
                    "",
                    "File size: 0 bytesFile Error/Not A Hotlap!"});
    expect_runs(runs);
    // A writer already waiting on a named pipe is neither released nor killed.
    const pid_t writer = fork();
    if (writer == 0) {
        const int pipe = open("pipe.qdp", O_WRONLY);
        _exit(pipe >= 0 && write(pipe, "lap\n", 4) == 4 ? 0 : 1);
    }
    ASSERT_TRUE(waits_in_open(writer));
    expect_runs({{"a named pipe with a writer", {"pipe.qdp"}, "", cannot_open}});
    EXPECT_TRUE(waits_in_open(writer));
    EXPECT_EQ(read_pipe("pipe.qdp"), "lap\n");
    waitpid(writer, nullptr, 0);
}

TEST_F(EndToEnd, TheFileLookedAtIsTheFileRead) {
    // strace holds the tool after each look at a file (newfstatat) while the
    // link is pointed at a named pipe whose writer waits: on Linux the file
    // looked at is the file read, and the pipe is never opened.
    if (std::getenv("ZVK_TOOL_WRAPPER") != nullptr) {
        GTEST_SKIP() << "strace cannot trace " << std::getenv("ZVK_TOOL_WRAPPER");
    }
    if (std::system("command -v strace >/dev/null") != 0) {
        GTEST_SKIP() << "no strace here (Debian: strace)";
    }
    ASSERT_EQ(std::system("strace -o /dev/null true >/dev/null 2>&1"), 0) << "strace cannot trace";
    fs::create_symlink("sample.qdp", "link.qdp");
    ASSERT_EQ(mkfifo("pipe.qdp", 0600), 0);
    const pid_t writer = fork();
    if (writer == 0) {
        const int pipe = open("pipe.qdp", O_WRONLY);
        _exit(pipe >= 0 && write(pipe, "lap\n", 4) == 4 ? 0 : 1);
    }
    ASSERT_TRUE(waits_in_open(writer));
    expect_runs(
        {{.what = "the link swapped once the tool has its name",
          .args = {"link.qdp"},
          .input = "",
          .out = sample_run,
          .setup = "(until grep -q link.qdp trace.txt 2>/dev/null; do sleep 0.01; done;"
                   " ln -sfn pipe.qdp link.qdp) &"
                   // LeakSanitizer cannot run under a tracer.
                   " ASAN_OPTIONS=detect_leaks=0 strace -o trace.txt -e trace=openat,newfstatat"
                   " -e inject=newfstatat:delay_exit=200000"}});
    EXPECT_TRUE(waits_in_open(writer));
    EXPECT_EQ(read_pipe("pipe.qdp"), "lap\n");
    waitpid(writer, nullptr, 0);
}

// Limits on the address space must hold the tool alone.
#ifdef ZVK_SANITIZED
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif

TEST_F(EndToEnd, AddressSpaceThatRunsOutEndsTheRunInOrder) {
    if (sanitized) {
        GTEST_SKIP() << "the sanitizers reserve more address space than the limits allow";
    }
    if (std::getenv("ZVK_TOOL_WRAPPER") != nullptr) {
        GTEST_SKIP() << "the limits would hold " << std::getenv("ZVK_TOOL_WRAPPER") << " as well";
    }
    { std::ofstream("big.qdp"); }
    fs::resize_file("big.qdp", 1ULL << 30);
    expect_runs({
        {.what = "a word that never ends",
         .out = "File name: " + cannot_open,
         .setup = "ulimit -v 1048576; timeout 10",
         .input_from = "/dev/zero"},
        {.what = "1 GiB with 256 MiB of address space",
         .args = {"big.qdp"},
         .input = "",
         .out = "File size: 1073741824 bytes\nNot enough memory to load the file\n",
         .setup = "ulimit -v 262144;"},
    });
}

TEST_F(EndToEnd, AFileThatDeliversLessThanItsLengthIsNotReported) {
    // sysfs gives every attribute a length of 4096 but holds far fewer bytes.
    const fs::path attribute = "/sys/kernel/mm/transparent_hugepage/enabled";
    std::error_code error;
    if (fs::file_size(attribute, error) != 4096 || error) {
        GTEST_SKIP() << attribute << " is not a sysfs attribute of 4096 bytes here";
    }
    expect_runs({{"a file that delivers less than its length",
                  {attribute.string()},
                  "",
                  "File size: 4096 bytes\nUnable to read the whole file\n"}});
}

} // namespace
