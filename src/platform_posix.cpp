// POSIX systems: names are bytes, files open without blocking, and the pause
// waits on the terminal itself.
#include "platform.hpp"
#include "read_word.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace platform {

namespace {

// The terminal's settings from before the pause, and the single-key mode the
// pause sets, for the signal handlers to switch between.
termios saved_terminal{};
termios single_key{};

bool in_foreground() {
    return tcgetpgrp(STDIN_FILENO) == getpgrp();
}

// Tested on a pseudo-terminal, but the signal ends the process before gcov
// can record it: GCOVR_EXCL_START
extern "C" void restore_terminal_and_end(int signal_number) {
    // A stopped job that is killed (`kill %1`) is in the background, where
    // changing the terminal would stop it again; Ctrl+Z has restored it.
    if (in_foreground()) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved_terminal);
    }
    // The handler runs with this signal and every other of the pause held, so
    // that no second copy finds the default action before the restore, and
    // no `fg` sets single keys again after it. Only this one is let through,
    // with its default action: it ends the process as usual.
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    sigemptyset(&default_action.sa_mask);
    sigaction(signal_number, &default_action, nullptr);
    std::raise(signal_number);
    sigset_t this_signal{};
    sigemptyset(&this_signal);
    sigaddset(&this_signal, signal_number);
    sigprocmask(SIG_UNBLOCK, &this_signal, nullptr);
}
// GCOVR_EXCL_STOP

// `fg`: take the terminal again. A job continued in the background leaves it
// alone, and takes it when it is brought to the foreground.
extern "C" void take_terminal_again(int /*signal_number*/) {
    const int saved_errno = errno;
    if (in_foreground()) {
        tcsetattr(STDIN_FILENO, TCSANOW, &single_key);
    }
    errno = saved_errno;
}

// Ctrl+Z: give the shell its terminal back, then stop as the default would.
extern "C" void restore_terminal_and_stop(int signal_number) {
    const int saved_errno = errno;
    tcsetattr(STDIN_FILENO, TCSANOW, &saved_terminal);
    struct sigaction handler {};
    sigaction(signal_number, nullptr, &handler);
    std::signal(signal_number, SIG_DFL);
    sigset_t stop_signal{};
    sigemptyset(&stop_signal);
    sigaddset(&stop_signal, signal_number);
    sigprocmask(SIG_UNBLOCK, &stop_signal, nullptr);
    std::raise(signal_number); // stops here until continued
    // Held again until this handler returns: a stop that arrives meanwhile
    // runs the handler after it, not inside it, however many come.
    sigprocmask(SIG_BLOCK, &stop_signal, nullptr);
    sigaction(signal_number, &handler, nullptr);
    // With no shell to stop for (a window opened just for the tool), the
    // kernel drops the stop, and the wait goes on as before.
    take_terminal_again(signal_number);
    errno = saved_errno;
}

// The signals whose default action ends the process (and may dump core): the
// pause gives the terminal back first, then ends by the same signal, core and
// all. TTIN and TTOU stop a job that touches the terminal from the
// background, where the tool must leave it alone: they keep their default.
// clang-format off
constexpr std::array ending_signals{
    // Keys, a hang-up, and what `kill`, a supervisor or an alarm send.
    SIGINT, SIGQUIT, SIGHUP, SIGTERM, SIGALRM, SIGUSR1, SIGUSR2, SIGPIPE,
    // Limits on time and file size, and profilers.
    SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF,
    // Faults, which dump core; restoring first keeps the core.
    SIGILL, SIGTRAP, SIGABRT, SIGBUS, SIGFPE, SIGSEGV, SIGSYS,
#ifdef SIGEMT
    SIGEMT,
#endif
#ifdef __linux__ // elsewhere these may be ignored by default, or not exist
    SIGIO, SIGPWR,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#endif
};
// clang-format on

// Real-time signals end a process unless it handles them.
#ifdef SIGRTMIN
bool is_real_time(int signal_number) {
    return signal_number >= SIGRTMIN && signal_number <= SIGRTMAX;
}
#else
bool is_real_time(int /*signal_number*/) {
    return false;
}
#endif

bool ends_by_default(int signal_number) {
    return is_real_time(signal_number) || std::find(ending_signals.begin(), ending_signals.end(),
                                                    signal_number) != ending_signals.end();
}

using SignalHandler = void (*)(int);

// The pause's handler of a signal, or SIG_DFL for a signal left as it is.
SignalHandler pause_handler(int signal_number) {
    if (signal_number == SIGTSTP) {
        return restore_terminal_and_stop;
    }
    if (signal_number == SIGCONT) {
        return take_terminal_again;
    }
    return ends_by_default(signal_number) ? restore_terminal_and_end : SIG_DFL;
}

// The pause's action for a signal. Each handler runs with every signal of the
// pause held, so that none runs inside another.
struct sigaction pause_action(int signal_number) {
    struct sigaction action {};
    action.sa_handler = pause_handler(signal_number);
    sigemptyset(&action.sa_mask);
    for (int other = 1; other < NSIG; ++other) {
        if (pause_handler(other) != SIG_DFL) {
            sigaddset(&action.sa_mask, other);
        }
    }
    return action;
}

// The handlers from before the pause, by signal number, and which signals
// have the pause's.
struct SavedHandlers {
    std::array<struct sigaction, NSIG> previous{};
    sigset_t replaced{};
};

// Installs the pause's handlers, except for signals the parent ignored (a
// script's `trap '' INT`, say), which stay ignored.
SavedHandlers install_pause_handlers() {
    SavedHandlers saved{};
    sigemptyset(&saved.replaced);
    for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
        const struct sigaction action = pause_action(signal_number);
        auto& previous = saved.previous.at(static_cast<std::size_t>(signal_number));
        if (action.sa_handler == SIG_DFL || sigaction(signal_number, nullptr, &previous) != 0 ||
            previous.sa_handler == SIG_IGN) {
            continue;
        }
        sigaction(signal_number, &action, nullptr);
        sigaddset(&saved.replaced, signal_number);
    }
    return saved;
}

// Gives the terminal its settings back and the signals their handlers from
// before the pause. A signal in between would find the pause's handlers (`fg`
// would set single keys again): they wait until both are done.
void restore_terminal_and_handlers(const SavedHandlers& saved) {
    sigset_t before{};
    sigprocmask(SIG_BLOCK, &saved.replaced, &before);
    // Flushing drops the rest of a multi-byte key (an arrow, say), which the
    // shell would otherwise receive as typed input.
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_terminal);
    for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
        if (sigismember(&saved.replaced, signal_number) == 1) {
            sigaction(signal_number, &saved.previous.at(static_cast<std::size_t>(signal_number)),
                      nullptr);
        }
    }
    sigprocmask(SIG_SETMASK, &before, nullptr);
}

// Another program may have left the terminal's input non-blocking; the flag
// belongs to the terminal's open file, which the shell and its other children
// share, so it is not changed here: a read that would block waits instead.
bool would_block(int error) {
    return error == EAGAIN || error == EWOULDBLOCK;
}

// Waits until `descriptor` is ready for `events`; false when even waiting
// fails, which the caller takes as the end of input or a failed write.
bool wait_until_ready(int descriptor, short events) {
    pollfd ready{descriptor, events, 0};
    int count = 0;
    while ((count = poll(&ready, 1, -1)) < 0 && errno == EINTR) {
    }
    return count > 0;
}

bool wait_for_input() {
    return wait_until_ready(STDIN_FILENO, POLLIN);
}

int next_typed_char() {
    for (;;) {
        errno = 0;
        const int c = std::getchar();
        if (c != EOF || !std::ferror(stdin) || !would_block(errno)) {
            return c;
        }
        std::clearerr(stdin);
        if (!wait_for_input()) {
            return EOF;
        }
    }
}

// Returns when a key is pressed, or when input ends or fails.
void wait_for_key() {
    char key = 0;
    while (read(STDIN_FILENO, &key, 1) < 0) {
        if (errno != EINTR && (!would_block(errno) || !wait_for_input())) {
            return;
        }
    }
}

// Which bytes 0x80-0x9F the locale's converter reads alone as C1 controls,
// bit i for the byte 0x80 + i; nothing when it cannot even read a plain
// letter, as when a static executable finds no converters where this system
// keeps them.
std::optional<std::uint32_t> c1_bytes_read_alone() {
    const auto read_alone = [](unsigned byte, wchar_t& character) {
        const char alone = static_cast<char>(byte);
        std::mbstate_t state{};
        return std::mbrtowc(&character, &alone, 1, &state) == 1;
    };
    wchar_t letter = 0;
    if (!read_alone('a', letter) || letter != L'a') {
        return std::nullopt;
    }
    std::uint32_t c1_bytes = 0;
    for (unsigned byte = 0x80; byte <= 0x9F; ++byte) {
        wchar_t character = 0;
        if (read_alone(byte, character) &&
            std::iswcntrl(static_cast<std::wint_t>(character)) != 0) {
            c1_bytes |= 1U << (byte - 0x80);
        }
    }
    return c1_bytes;
}

// How the user's terminal shows bytes, by the locale's character set, as
// `less` tells it. A locale whose name says UTF-8 is UTF-8 even where it is
// not installed, as often over ssh. Only the character type is looked at,
// and the C locale is set again at once: nothing else the tool does depends
// on the locale.
Display locale_display() {
    const char* name = nullptr;
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        name = std::getenv(variable);
        if (name != nullptr && *name != '\0') {
            break;
        }
    }
    if (name != nullptr && names_utf8(name)) {
        return Display::utf8_terminal;
    }
    std::setlocale(LC_CTYPE, ""); // where that fails, the C locale's ASCII stays
    const Display display =
        terminal_display(nl_langinfo(CODESET), MB_CUR_MAX, c1_bytes_read_alone());
    std::setlocale(LC_CTYPE, "C");
    return display;
}

// A hotlap file is a regular file. Anything else is left unopened, for
// opening is itself the effect of some: a named pipe releases a writer
// waiting on it, a watchdog arms, a tape rewinds when closed, a serial line
// raises its modem lines.

// Opens `name` again after a look found a regular file there. O_NONBLOCK
// keeps the open from waiting should a pipe have been put in its place
// meanwhile; that pipe's writer is still released, and the caller finds
// that the file is not the one looked at.
int open_after_look(const char* name) {
    return ::open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

#ifdef __linux__
// The name is resolved once, into a descriptor that opens nothing (O_PATH).
// The file is looked at through it, then opened for reading through
// /proc/self/fd, which reopens that very file: a pipe put in its place
// meanwhile is never opened. Without /proc, the name is opened again.
int open_regular_file(const char* name, struct stat& looked_at) {
    const int path = ::open(name, O_PATH | O_CLOEXEC);
    if (path < 0) {
        return -1;
    }
    int descriptor = -1;
    if (fstat(path, &looked_at) == 0 && S_ISREG(looked_at.st_mode)) {
        const std::string through = "/proc/self/fd/" + std::to_string(path);
        descriptor = ::open(through.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
        if (descriptor < 0 && errno == ENOENT) {
            descriptor = open_after_look(name); // GCOVR_EXCL_LINE: /proc is mounted here
        }
    }
    ::close(path);
    return descriptor;
}
#else
// Elsewhere the name is looked at, then opened again.
int open_regular_file(const char* name, struct stat& looked_at) {
    if (stat(name, &looked_at) != 0 || !S_ISREG(looked_at.st_mode)) {
        return -1;
    }
    return open_after_look(name);
}
#endif

} // namespace

std::optional<std::filesystem::path> read_file_name() {
    auto word = read_word<char>(next_typed_char);
    if (!word) {
        return std::nullopt;
    }
    return std::filesystem::path(std::move(*word));
}

Display output_display() {
    if (isatty(STDOUT_FILENO) == 0) {
        return Display::as_is;
    }
    return locale_display();
}

int write_output(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(STDOUT_FILENO, bytes.data(), bytes.size());
        if (written > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(written));
        } else if (written == 0 ||
                   (errno != EINTR &&
                    (!would_block(errno) || !wait_until_ready(STDOUT_FILENO, POLLOUT)))) {
            return written == 0 || errno == 0 ? EIO : errno;
        }
    }
    return 0;
}

int close_output() {
    return ::close(STDOUT_FILENO) == 0 ? 0 : errno;
}

std::optional<InputFile> InputFile::open(const std::filesystem::path& name) {
    struct stat looked_at {};
    const int descriptor = open_regular_file(name.c_str(), looked_at);
    if (descriptor < 0) {
        return std::nullopt;
    }
    InputFile opened{descriptor};
    // Where the name was opened again, it must still be the file looked at.
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || status.st_dev != looked_at.st_dev ||
        status.st_ino != looked_at.st_ino) {
        return std::nullopt;
    }
    const int flags = fcntl(descriptor, F_GETFL);
    if (flags < 0 || fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return std::nullopt;
    }
    return opened;
}

void InputFile::close_descriptor(int descriptor) {
    ::close(descriptor);
}

std::optional<std::uint64_t> InputFile::length() {
    // The end of a regular file is its length, as stdio takes it: files of
    // /proc cannot seek to their end but say they have none.
    struct stat status {};
    if (fstat(descriptor_, &status) != 0) {
        return std::nullopt;
    }
    const off_t end = lseek(descriptor_, status.st_size, SEEK_SET);
    if (end < 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(end);
}

bool InputFile::read_whole(std::span<std::byte> buffer) {
    if (lseek(descriptor_, 0, SEEK_SET) != 0) {
        return false;
    }
    while (!buffer.empty()) {
        const ssize_t got = read(descriptor_, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        buffer = buffer.subspan(static_cast<std::size_t>(got));
    }
    return true;
}

Pause::Pause()
    // There is no PAUSE command here. Wait only where a person can answer:
    // scripts, pipes and redirected output go on at once, and so does a job in
    // the background, which may not change the terminal.
    : waits_(isatty(STDIN_FILENO) != 0 && isatty(STDOUT_FILENO) != 0 && in_foreground() &&
             tcgetattr(STDIN_FILENO, &saved_terminal) == 0) {}

std::string_view Pause::prompt() const {
    return waits_ ? "Press any key to continue . . . " : "";
}

std::string_view Pause::after_key() const {
    return waits_ ? "\n" : "";
}

void Pause::wait() const {
    if (!waits_) {
        return;
    }
    single_key = saved_terminal;
    single_key.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    single_key.c_cc[VMIN] = 1;
    single_key.c_cc[VTIME] = 0;
    const SavedHandlers saved = install_pause_handlers();
    tcsetattr(STDIN_FILENO, TCSANOW, &single_key);
    wait_for_key();
    restore_terminal_and_handlers(saved);
}

} // namespace platform
