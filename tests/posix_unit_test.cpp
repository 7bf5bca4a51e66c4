// What the sink does with standard output on POSIX systems, and how a
// terminal there shows a field, each case in a forked child whose standard
// output and environment the test controls.
#include "platform.hpp"
#include "text_sink.hpp"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// Whether a forked child, which checks standard output in a process of its
// own so that the runner's is left alone, ends with status 0.
bool succeeds(pid_t child) {
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(StdoutSink, EveryByteArrivesThroughPartialWrites) {
    // A non-blocking socket with a small buffer takes part of a write and
    // answers with the count; its reader here drains it slower than the
    // writer fills it.
    std::array<int, 2> ends{};
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends.data()), 0);
    const int small = 4096;
    ASSERT_EQ(setsockopt(ends[1], SOL_SOCKET, SO_SNDBUF, &small, sizeof small), 0);
    std::string text;
    for (int i = 0; text.size() < 200'000; ++i) {
        text += std::to_string(i) + '\n';
    }
    const pid_t child = fork();
    if (child == 0) {
        fcntl(ends[1], F_SETFL, O_NONBLOCK);
        dup2(ends[1], STDOUT_FILENO);
        StdoutSink out{Display::as_is};
        out.write(text);
        _exit(out.close() ? 1 : 0);
    }
    close(ends[1]);
    std::string arrived;
    std::array<char, 1024> chunk{};
    for (ssize_t got = 0; (got = read(ends[0], chunk.data(), chunk.size())) > 0;) {
        arrived.append(chunk.data(), static_cast<std::size_t>(got));
        std::this_thread::sleep_for(200us);
    }
    close(ends[0]);
    EXPECT_TRUE(succeeds(child));
    EXPECT_EQ(arrived.size(), text.size());
    EXPECT_TRUE(arrived == text); // not printed: 200 kB
}

TEST(StdoutSink, AFailedCloseIsAFailedWrite) {
    const pid_t child = fork();
    if (child == 0) {
        dup2(open("/dev/null", O_WRONLY), STDOUT_FILENO);
        StdoutSink out{Display::as_is};
        out.write("report");
        out.flush();
        close(STDOUT_FILENO); // behind the C library's back: only closing can fail now
        _exit(out.close() == EBADF ? 0 : 1);
    }
    EXPECT_TRUE(succeeds(child));
}

// LC_ALL, then LC_CTYPE, then LANG: the first set and not empty names the
// terminal's character set, whatever the others say. pl_PL.UTF-8 need not
// be installed: its name says UTF-8.
TEST(OutputDisplay, TheFirstLocaleVariableSetDecidesTheCharacterSet) {
    struct Case {
        const char* lc_all;
        const char* lc_ctype;
        const char* lang;
        Display expected;
    };
    const Case cases[] = {
        {"C", "pl_PL.UTF-8", "pl_PL.UTF-8", Display::c1_terminal},
        {"pl_PL.UTF-8", "C", "C", Display::utf8_terminal},
        {nullptr, "C", "pl_PL.UTF-8", Display::c1_terminal},
        {nullptr, "pl_PL.UTF-8", "C", Display::utf8_terminal},
        {"", "pl_PL.UTF-8", "C", Display::utf8_terminal}, // empty is unset
        {nullptr, "", "C.UTF-8", Display::utf8_terminal},
        {nullptr, nullptr, nullptr, Display::c1_terminal}, // the C locale: ASCII
    };
    for (const Case& c : cases) {
        const pid_t child = fork();
        if (child == 0) {
            const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
            if (terminal < 0 || grantpt(terminal) != 0 || unlockpt(terminal) != 0) {
                _exit(2);
            }
            dup2(open(ptsname(terminal), O_RDWR | O_NOCTTY), STDOUT_FILENO);
            const std::array<std::pair<const char*, const char*>, 3> variables{
                {{"LC_ALL", c.lc_all}, {"LC_CTYPE", c.lc_ctype}, {"LANG", c.lang}}};
            unsetenv("LOCPATH");
            for (const auto& [name, value] : variables) {
                value != nullptr ? setenv(name, value, 1) : unsetenv(name);
            }
            _exit(platform::output_display() == c.expected ? 0 : 1);
        }
        EXPECT_TRUE(succeeds(child)) << "LC_ALL=" << (c.lc_all ? c.lc_all : "(unset)")
                                     << " LC_CTYPE=" << (c.lc_ctype ? c.lc_ctype : "(unset)")
                                     << " LANG=" << (c.lang ? c.lang : "(unset)");
    }
}

} // namespace
