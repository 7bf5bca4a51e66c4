// POSIX systems: names are bytes, files open without blocking, large buffers
// come from huge pages, and the pause waits on the terminal itself.
#include "platform.hpp"
#include "read_word.hpp"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <new>
#include <poll.h>
#include <sys/mman.h>
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
    // The handler was reset on entry: raising again ends the process as usual.
    std::raise(signal_number);
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

struct SignalHandler {
    int signal_number;
    void (*handler)(int);
    int flags;
};

constexpr int once = static_cast<int>(SA_RESETHAND);
constexpr std::array pause_handlers{
    SignalHandler{SIGINT, restore_terminal_and_end, once},
    SignalHandler{SIGTERM, restore_terminal_and_end, once},
    SignalHandler{SIGHUP, restore_terminal_and_end, once},
    SignalHandler{SIGQUIT, restore_terminal_and_end, once},
    // What a supervisor, a script's alarm or `kill -USR1` may send, and the
    // limits on time and file size: each ends the tool as it would anyway.
    SignalHandler{SIGALRM, restore_terminal_and_end, once},
    SignalHandler{SIGUSR1, restore_terminal_and_end, once},
    SignalHandler{SIGUSR2, restore_terminal_and_end, once},
    SignalHandler{SIGVTALRM, restore_terminal_and_end, once},
    SignalHandler{SIGPROF, restore_terminal_and_end, once},
    SignalHandler{SIGXCPU, restore_terminal_and_end, once},
    SignalHandler{SIGXFSZ, restore_terminal_and_end, once},
    SignalHandler{SIGTSTP, restore_terminal_and_stop, 0},
    SignalHandler{SIGCONT, take_terminal_again, 0},
};
using SavedHandlers = std::array<struct sigaction, pause_handlers.size()>;

// Installs the pause's handlers, except for signals the parent ignored (a
// script's `trap '' INT`, say), which stay ignored.
SavedHandlers install_pause_handlers() {
    SavedHandlers previous{};
    for (std::size_t i = 0; i < pause_handlers.size(); ++i) {
        sigaction(pause_handlers[i].signal_number, nullptr, &previous[i]);
        if (previous[i].sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = pause_handlers[i].handler;
        action.sa_flags = pause_handlers[i].flags;
        sigemptyset(&action.sa_mask);
        sigaction(pause_handlers[i].signal_number, &action, nullptr);
    }
    return previous;
}

// Gives the terminal its settings back and the signals their handlers from
// before the pause. A signal in between would find the pause's handlers (`fg`
// would set single keys again): they wait until both are done.
void restore_terminal_and_handlers(const SavedHandlers& previous) {
    sigset_t held{};
    sigemptyset(&held);
    for (const SignalHandler& handler : pause_handlers) {
        sigaddset(&held, handler.signal_number);
    }
    sigset_t before{};
    sigprocmask(SIG_BLOCK, &held, &before);
    // Flushing drops the rest of a multi-byte key (an arrow, say), which the
    // shell would otherwise receive as typed input.
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_terminal);
    for (std::size_t i = 0; i < pause_handlers.size(); ++i) {
        sigaction(pause_handlers[i].signal_number, &previous[i], nullptr);
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

constexpr std::size_t huge_page = std::size_t{2} << 20;

std::size_t round_up_to_huge_page(std::size_t size) {
    return (size + huge_page - 1) / huge_page * huge_page;
}

// Large buffers are mapped, small ones come from the heap.
bool is_mapped(std::size_t size) {
    return size >= huge_page;
}

#ifdef MADV_HUGEPAGE
// Only advice: without transparent huge pages the buffer works as well.
void advise_huge_pages(std::byte* start, std::size_t length) {
    madvise(start, length, MADV_HUGEPAGE);
}
#else
void advise_huge_pages(std::byte* /*start*/, std::size_t /*length*/) {}
#endif

// Maps whole huge pages, aligned to their size so that the kernel can back
// them with huge pages, and asks it to. The kernel hands them out zero-filled.
FileBuffer map_huge_pages(std::size_t size) {
    const std::size_t length = round_up_to_huge_page(size);
    void* const mapped = mmap(nullptr, length + huge_page, PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        return FileBuffer{nullptr, FileBufferRelease{size}};
    }
    // Trim the mapping to an aligned run of `length` bytes.
    auto* const first = static_cast<std::byte*>(mapped);
    const std::size_t misalignment = reinterpret_cast<std::uintptr_t>(first) % huge_page;
    const std::size_t head = misalignment == 0 ? 0 : huge_page - misalignment;
    std::byte* const aligned = first + head;
    if (head != 0) {
        // Linux 6.7 and later align such mappings themselves.
        munmap(first, head); // GCOVR_EXCL_LINE: not reached on an aligning kernel
    }
    munmap(aligned + length, huge_page - head);
    advise_huge_pages(aligned, length);
    return FileBuffer{aligned, FileBufferRelease{size}};
}

} // namespace

std::optional<std::filesystem::path> read_file_name() {
    auto word = read_word<char>(next_typed_char);
    if (!word) {
        return std::nullopt;
    }
    return std::filesystem::path(std::move(*word));
}

bool output_is_terminal() {
    return isatty(STDOUT_FILENO) != 0;
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
    // A named pipe or a socket can never be sized, and opening a pipe would
    // release a writer waiting on it, which then finds no reader: look first
    // and leave them alone. A directory would open for reading here, unlike
    // on Windows. Devices are left to the seek that sizes them.
    struct stat looked_at {};
    if (stat(name.c_str(), &looked_at) != 0 || S_ISDIR(looked_at.st_mode) ||
        S_ISFIFO(looked_at.st_mode) || S_ISSOCK(looked_at.st_mode)) {
        return std::nullopt;
    }
    // O_NONBLOCK keeps the open from waiting should a pipe be put in the
    // file's place after the look. That pipe's writer is still released: a
    // race nobody meets by accident. The file is then not the one looked at.
    const int descriptor = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) {
        return std::nullopt;
    }
    InputFile opened{descriptor};
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

InputFile::InputFile(InputFile&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)) {}

InputFile::~InputFile() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

std::optional<std::uint64_t> InputFile::length() {
    // A regular file's end is its length, as stdio takes it: files of /proc
    // cannot seek to their end but say they have none. Devices seek there.
    struct stat status {};
    if (fstat(descriptor_, &status) != 0) {
        return std::nullopt;
    }
    const off_t end = S_ISREG(status.st_mode) ? lseek(descriptor_, status.st_size, SEEK_SET)
                                              : lseek(descriptor_, 0, SEEK_END);
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

void FileBufferRelease::operator()(std::byte* bytes) const {
    if (is_mapped(size)) {
        munmap(bytes, round_up_to_huge_page(size));
        return;
    }
    delete[] bytes;
}

FileBuffer allocate_file_buffer(std::size_t size) {
    if (is_mapped(size)) {
        return map_huge_pages(size);
    }
    return FileBuffer{new (std::nothrow) std::byte[size], FileBufferRelease{size}};
}

void pause(StdoutSink& out) {
    // There is no PAUSE command here. Wait only where a person can answer:
    // scripts, pipes and redirected output go on at once, and so does a job in
    // the background, which may not change the terminal.
    if (isatty(STDIN_FILENO) == 0 || isatty(STDOUT_FILENO) == 0 || !in_foreground() ||
        tcgetattr(STDIN_FILENO, &saved_terminal) != 0) {
        return;
    }
    out.write("Press any key to continue . . . ");
    out.flush();

    single_key = saved_terminal;
    single_key.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    single_key.c_cc[VMIN] = 1;
    single_key.c_cc[VTIME] = 0;
    const SavedHandlers previous = install_pause_handlers();
    tcsetattr(STDIN_FILENO, TCSANOW, &single_key);
    wait_for_key();
    restore_terminal_and_handlers(previous);

    out.write("\n");
    out.flush();
}

} // namespace platform
