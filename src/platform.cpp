#include "platform.hpp"

#include <array>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>

#ifdef _WIN32
#include <windows.h>
// shellapi.h needs the declarations of windows.h.
#include <shellapi.h>
#else
#include <cerrno>
#include <sys/mman.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

bool is_blank(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// One word of bytes from standard input; empty at end of input.
std::string read_word() {
    int c = std::getchar();
    while (c != EOF && is_blank(c)) {
        c = std::getchar();
    }
    std::string word;
    for (; c != EOF && !is_blank(c); c = std::getchar()) {
        word.push_back(static_cast<char>(c));
    }
    return word;
}

#ifdef _WIN32
// Typed names may hold any character: read the console as UTF-16. The rest
// of the line is read too, so that the pause waits for a key of its own.
std::wstring read_console_word(HANDLE console) {
    const auto next = [console]() -> int {
        wchar_t c = 0;
        DWORD got = 0;
        const bool read = ReadConsoleW(console, &c, 1, &got, nullptr) != 0 && got == 1;
        return read && c != 0x1A ? c : EOF; // Ctrl+Z ends input, as for a file
    };
    int c = next();
    while (c != EOF && is_blank(c)) {
        c = next();
    }
    std::wstring word;
    for (; c != EOF && !is_blank(c); c = next()) {
        word.push_back(static_cast<wchar_t>(c));
    }
    while (c != EOF && c != '\n') {
        c = next();
    }
    return word;
}

// Bytes from a file or a pipe: UTF-8 where they are valid UTF-8, else in the
// ANSI code page.
std::wstring widen(const std::string& bytes) {
    const int length = static_cast<int>(bytes.size());
    for (const UINT code_page : {UINT{CP_UTF8}, UINT{CP_ACP}}) {
        const DWORD flags = code_page == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
        const int wide_length =
            MultiByteToWideChar(code_page, flags, bytes.data(), length, nullptr, 0);
        if (wide_length > 0) {
            std::wstring wide(static_cast<std::size_t>(wide_length), L'\0');
            MultiByteToWideChar(code_page, flags, bytes.data(), length, wide.data(), wide_length);
            return wide;
        }
    }
    return {};
}

// Names of MAX_PATH characters and more open only in the extended form.
std::wstring openable_name(const std::filesystem::path& name) {
    std::wstring native = name.native();
    if (native.size() < MAX_PATH || native.starts_with(LR"(\\)")) {
        return native;
    }
    std::error_code error;
    const auto absolute = std::filesystem::absolute(name, error);
    return error ? native : LR"(\\?\)" + absolute.native();
}
#endif

#ifndef _WIN32
// The terminal's settings while the pause has changed them, so that a signal
// can put them back before the tool ends.
termios saved_terminal{};

// Tested on a pseudo-terminal, but the signal ends the process before gcov
// can record it: GCOVR_EXCL_START
extern "C" void restore_terminal_and_end(int signal_number) {
    tcsetattr(STDIN_FILENO, TCSANOW, &saved_terminal);
    // The handler was reset on entry: raising again ends the process as usual.
    std::raise(signal_number);
}
// GCOVR_EXCL_STOP

constexpr std::array stop_signals{SIGINT, SIGTERM, SIGHUP, SIGQUIT};

constexpr std::size_t huge_page = std::size_t{2} << 20;

std::size_t round_up_to_huge_page(std::size_t size) {
    return (size + huge_page - 1) / huge_page * huge_page;
}

// Maps whole huge pages, aligned to their size so that the kernel can back
// them with huge pages, and asks it to.
FileBuffer map_huge_pages(std::size_t size) {
    const std::size_t length = round_up_to_huge_page(size);
    void* const mapped = mmap(nullptr, length + huge_page, PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        return FileBuffer{nullptr, FileBufferRelease{}};
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
#ifdef MADV_HUGEPAGE
    // Only advice: without transparent huge pages the buffer works as well.
    madvise(aligned, length, MADV_HUGEPAGE);
#endif
    return FileBuffer{aligned, FileBufferRelease{length}};
}
#endif

} // namespace

std::optional<std::filesystem::path> file_name_argument(int argc, char* argv[]) {
#ifdef _WIN32
    // argv holds the names in the ANSI code page, which cannot spell them all.
    static_cast<void>(argv);
    int count = 0;
    wchar_t** const arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::optional<std::filesystem::path> name;
    if (arguments != nullptr && argc >= 2 && count >= 2) {
        name = std::filesystem::path(arguments[1]);
    }
    LocalFree(arguments);
    return name;
#else
    if (argc < 2) {
        return std::nullopt;
    }
    return std::filesystem::path(argv[1]);
#endif
}

std::optional<std::filesystem::path> read_file_name() {
#ifdef _WIN32
    HANDLE const input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    const std::wstring word =
        GetConsoleMode(input, &mode) != 0 ? read_console_word(input) : widen(read_word());
#else
    const std::string word = read_word();
#endif
    if (word.empty()) {
        return std::nullopt;
    }
    return std::filesystem::path(word);
}

std::optional<InputFile> InputFile::open(const std::filesystem::path& name) {
#ifdef _WIN32
    std::FILE* file = _wfopen(openable_name(name).c_str(), L"rb");
#else
    std::FILE* file = std::fopen(name.c_str(), "rb");
#endif
    if (file == nullptr) {
        return std::nullopt;
    }
    InputFile opened{file};
#ifndef _WIN32
    // A directory opens for reading here, unlike on Windows; it is no file.
    struct stat status {};
    if (fstat(fileno(file), &status) != 0 || S_ISDIR(status.st_mode)) {
        return std::nullopt;
    }
#endif
    // The tool reads the file in one piece; a stream buffer would only add a copy.
    std::setvbuf(file, nullptr, _IONBF, 0);
    return opened;
}

std::optional<std::uint64_t> InputFile::length() {
#ifdef _WIN32
    const bool at_end = _fseeki64(file_.get(), 0, SEEK_END) == 0;
    const auto position = at_end ? _ftelli64(file_.get()) : -1;
#else
    const bool at_end = fseeko(file_.get(), 0, SEEK_END) == 0;
    const auto position = at_end ? ftello(file_.get()) : -1;
#endif
    if (position < 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(position);
}

bool InputFile::read_whole(std::span<std::byte> buffer) {
    // Should this fail, the read below delivers too few bytes and says so.
    std::rewind(file_.get());
    while (!buffer.empty()) {
        const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), file_.get());
        if (got == 0) {
            return false;
        }
        buffer = buffer.subspan(got);
    }
    return true;
}

void FileBufferRelease::operator()(std::byte* bytes) const {
#ifndef _WIN32
    if (mapped != 0) {
        munmap(bytes, mapped);
        return;
    }
#endif
    delete[] bytes;
}

FileBuffer allocate_file_buffer(std::size_t size) {
#ifndef _WIN32
    if (size >= huge_page) {
        return map_huge_pages(size);
    }
#endif
    return FileBuffer{new (std::nothrow) std::byte[size], FileBufferRelease{}};
}

void pause() {
    std::fflush(stdout);
#ifdef _WIN32
    // The command interpreter prints its own prompt and waits for a key.
    [[maybe_unused]] const int ignored = std::system("PAUSE");
#else
    // There is no PAUSE command here. Wait only where a person can answer:
    // scripts, pipes and redirected output go on at once.
    if (isatty(STDIN_FILENO) == 0 || isatty(STDOUT_FILENO) == 0 ||
        tcgetattr(STDIN_FILENO, &saved_terminal) != 0) {
        return;
    }
    std::fputs("Press any key to continue . . . ", stdout);
    std::fflush(stdout);

    struct sigaction on_stop {};
    on_stop.sa_handler = restore_terminal_and_end;
    on_stop.sa_flags = static_cast<int>(SA_RESETHAND);
    sigemptyset(&on_stop.sa_mask);
    std::array<struct sigaction, stop_signals.size()> previous{};
    for (std::size_t i = 0; i < stop_signals.size(); ++i) {
        sigaction(stop_signals[i], &on_stop, &previous[i]);
    }

    termios single_key = saved_terminal;
    single_key.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    single_key.c_cc[VMIN] = 1;
    single_key.c_cc[VTIME] = 0;
    tcsetattr(STDIN_FILENO, TCSANOW, &single_key);
    char key = 0;
    while (read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
    }
    // Flushing drops the rest of a multi-byte key (an arrow, say), which the
    // shell would otherwise receive as typed input.
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_terminal);

    for (std::size_t i = 0; i < stop_signals.size(); ++i) {
        sigaction(stop_signals[i], &previous[i], nullptr);
    }
    std::fputs("\n", stdout);
    std::fflush(stdout);
#endif
}

} // namespace platform
