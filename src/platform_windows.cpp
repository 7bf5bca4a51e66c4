// Windows: names are UTF-16, a typed name comes from the console, long names
// take the extended form, and the command interpreter's PAUSE waits.
#include "platform_windows.hpp"

#include "platform.hpp"
#include "read_word.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <string_view>
#include <utility>
#include <windows.h>

namespace platform {

namespace {

// Typed names may hold any character: read the console as UTF-16. The rest
// of the line is read too, so that the pause waits for a key of its own.
std::optional<std::wstring> read_console_word(HANDLE console) {
    int last = 0;
    const auto next = [console, &last] {
        wchar_t c = 0;
        DWORD got = 0;
        const bool read = ReadConsoleW(console, &c, 1, &got, nullptr) != 0 && got == 1;
        last = read && c != 0x1A ? c : -1; // Ctrl+Z ends input, as for a file
        return last;
    };
    auto word = read_word<wchar_t>(next);
    while (word && last >= 0 && last != '\n') {
        next();
    }
    return word;
}

bool is_console(HANDLE handle) {
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != 0;
}

// A console's screen, however it was opened. GetConsoleMode needs read access,
// which `> CON` and `1>CONOUT$` do not give (on Windows as in Wine).
// WriteConsoleW needs write access only and fails on every other handle, NUL
// and the other character devices included: writing no characters asks the
// console without changing what it shows.
bool is_console_output(HANDLE output) {
    DWORD written = 0;
    return is_console(output) || (GetFileType(output) == FILE_TYPE_CHAR &&
                                  WriteConsoleW(output, L"", 0, &written, nullptr) != 0);
}

// `bytes` in UTF-16, read in `code_page`; nothing when `flags` ask for valid
// characters only and there are others. The bytes are a typed word, a field
// or the sink's buffer, far shorter than an int counts.
std::optional<std::wstring> to_utf16(UINT code_page, DWORD flags, std::string_view bytes) {
    if (bytes.empty()) {
        return std::wstring{};
    }
    const int length = static_cast<int>(bytes.size());
    const int wide_length = MultiByteToWideChar(code_page, flags, bytes.data(), length, nullptr, 0);
    if (wide_length <= 0) {
        return std::nullopt;
    }
    std::wstring wide(static_cast<std::size_t>(wide_length), L'\0');
    MultiByteToWideChar(code_page, flags, bytes.data(), length, wide.data(), wide_length);
    return wide;
}

std::string to_utf8(std::wstring_view wide) {
    if (wide.empty()) {
        return {};
    }
    const int length = static_cast<int>(wide.size());
    const int bytes_length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(bytes_length), '\0'); // 0 when it fails
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, bytes.data(), bytes_length, nullptr,
                        nullptr);
    return bytes;
}

// A field read in the ANSI code page, the one the system's programs write
// names in, in UTF-8.
std::string from_ansi_code_page(std::string_view field) {
    return to_utf8(to_utf16(CP_ACP, 0, field).value_or(std::wstring{}));
}

// A word from a file or a pipe: UTF-8 where it is valid UTF-8, else in the
// ANSI code page.
std::optional<std::wstring> widen(std::string_view bytes) {
    if (auto utf8 = to_utf16(CP_UTF8, MB_ERR_INVALID_CHARS, bytes)) {
        return utf8;
    }
    return to_utf16(CP_ACP, 0, bytes);
}

std::optional<std::wstring> read_piped_word() {
    const auto bytes = read_word<char>([] { return std::getchar(); });
    return bytes ? widen(*bytes) : std::nullopt;
}

// As UTF-16, which a console shows whatever its code page; the report is in
// UTF-8 there (see console_display). Lines end in CR LF, as text mode ends
// them.
int write_console(HANDLE console, std::string_view bytes) {
    std::wstring text;
    for (const wchar_t c : to_utf16(CP_UTF8, 0, bytes).value_or(std::wstring{})) {
        if (c == L'\n') {
            text += L'\r';
        }
        text += c;
    }
    std::wstring_view unwritten = text;
    while (!unwritten.empty()) {
        DWORD written = 0;
        if (WriteConsoleW(console, unwritten.data(), static_cast<DWORD>(unwritten.size()), &written,
                          nullptr) == 0 ||
            written == 0) {
            return EIO;
        }
        unwritten.remove_prefix(written);
    }
    return 0;
}

constexpr std::wstring_view extended_prefix = LR"(\\?\)";
constexpr std::wstring_view device_prefix = LR"(\\.\)";
constexpr std::wstring_view unc_prefix = LR"(\\)";
// The system's own namespace, which a name in this form reaches unchanged:
// `\??\pipe\x`, `\??\GLOBALROOT\Device\Null`, any device.
constexpr std::wstring_view nt_prefix = LR"(\??\)";

bool equal_ignoring_case(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The name as the system resolves it: absolute, with backslashes, and without
// `.`, `..`, doubled separators or trailing dots. Empty when it cannot.
std::wstring full_path(const std::wstring& name) {
    const DWORD needed = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return {};
    }
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(name.c_str(), needed, full.data(), nullptr);
    full.resize(length < needed ? length : 0);
    return full;
}

// Whether a network name, `server\share\...`, names a file on a share rather
// than a named pipe of that machine: the shares `pipe` and `IPC$` hold its
// pipes, and opening one connects to its server.
bool names_file_share(std::wstring_view server_and_share) {
    const auto share_start = server_and_share.find(L'\\');
    if (share_start == std::wstring_view::npos) {
        return true; // no share: a name that does not open
    }
    std::wstring_view share = server_and_share.substr(share_start + 1);
    share = share.substr(0, share.find(L'\\'));
    return !equal_ignoring_case(share, L"pipe") && !equal_ignoring_case(share, L"IPC$");
}

// Whether a resolved name names a file on a drive or a share: `C:\...`,
// `\\server\share\...` or their extended forms `\\?\C:\...` and
// `\\?\UNC\server\share\...`. Others reach devices and pipes, such as `NUL`,
// `\\.\pipe\x` or `\\server\pipe\x`.
bool names_file(std::wstring_view resolved) {
    if (resolved.starts_with(extended_prefix)) {
        const std::wstring_view name = resolved.substr(extended_prefix.size());
        constexpr std::wstring_view unc = L"UNC\\";
        if (name.size() >= unc.size() && equal_ignoring_case(name.substr(0, unc.size()), unc)) {
            return names_file_share(name.substr(unc.size()));
        }
        return name.size() >= 3 && name[1] == L':' && name[2] == L'\\';
    }
    if (resolved.starts_with(device_prefix)) {
        return false;
    }
    return !resolved.starts_with(unc_prefix) ||
           names_file_share(resolved.substr(unc_prefix.size()));
}

} // namespace

// Resolved first, so that a relative name, forward slashes or `..` parts
// take the extended form too. A name in the system's own namespace is
// refused as given: it opens unresolved, whatever the resolved form says.
std::optional<std::wstring> openable_name(const std::filesystem::path& name) {
    const std::wstring& native = name.native();
    if (native.starts_with(nt_prefix)) {
        return std::nullopt;
    }
    const std::wstring resolved = native.starts_with(extended_prefix) ? native : full_path(native);
    if (!names_file(resolved)) {
        return std::nullopt;
    }
    return extended_form(resolved).value_or(native);
}

std::optional<std::filesystem::path> read_file_name() {
    HANDLE const input = GetStdHandle(STD_INPUT_HANDLE);
    auto word = is_console(input) ? read_console_word(input) : read_piped_word();
    if (!word) {
        return std::nullopt;
    }
    return std::filesystem::path(std::move(*word));
}

std::optional<std::wstring> extended_form(std::wstring_view resolved) {
    if (resolved.size() < MAX_PATH || resolved.starts_with(extended_prefix) ||
        resolved.starts_with(device_prefix)) {
        return std::nullopt;
    }
    if (resolved.starts_with(unc_prefix)) { // \\server\share\... becomes \\?\UNC\server\share\...
        return std::wstring(extended_prefix) + L"UNC\\" +
               std::wstring(resolved.substr(unc_prefix.size()));
    }
    return std::wstring(extended_prefix) + std::wstring(resolved);
}

Display console_display() {
    return {Display::Kind::utf8_terminal, 0, &from_ansi_code_page};
}

// Another character device (a serial port, a printer, NUL) may obey the
// controls as a terminal does; what it makes of the bytes 80-FF is its own.
Display display_for(void* output) {
    if (is_console_output(output)) {
        return console_display();
    }
    return GetFileType(output) == FILE_TYPE_CHAR ? Display::controls_only : Display::as_is;
}

Display output_display() {
    return display_for(GetStdHandle(STD_OUTPUT_HANDLE));
}

// Elsewhere through the C library, which ends each line with CR LF; a write
// never has to wait here.
int write_output(std::string_view bytes) {
    HANDLE const output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (is_console_output(output)) {
        return write_console(output, bytes);
    }
    errno = 0;
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        return errno != 0 ? errno : EIO;
    }
    return 0;
}

int close_output() {
    errno = 0;
    if (std::fclose(stdout) != 0) {
        return errno != 0 ? errno : EIO;
    }
    return 0;
}

std::optional<InputFile> InputFile::open(const std::filesystem::path& name) {
    // Directories do not open here, and devices are refused by name first.
    const auto openable = openable_name(name);
    if (!openable) {
        return std::nullopt;
    }
    const int descriptor = _wopen(openable->c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (descriptor < 0) {
        return std::nullopt;
    }
    InputFile opened{descriptor};
    // A name that reached something else after all, such as a link to a device.
    if (GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(descriptor))) != FILE_TYPE_DISK) {
        return std::nullopt;
    }
    return opened;
}

void InputFile::close_descriptor(int descriptor) {
    _close(descriptor);
}

std::optional<std::uint64_t> InputFile::length() {
    const auto end = _lseeki64(descriptor_, 0, SEEK_END);
    if (end < 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(end);
}

bool InputFile::read_whole(std::span<std::byte> buffer) {
    if (_lseeki64(descriptor_, 0, SEEK_SET) != 0) {
        return false;
    }
    constexpr std::size_t most_per_read = std::size_t{1} << 30; // _read counts in an int
    while (!buffer.empty()) {
        const auto wanted = static_cast<unsigned>(std::min(buffer.size(), most_per_read));
        const int got = _read(descriptor_, buffer.data(), wanted);
        if (got <= 0) {
            return false;
        }
        buffer = buffer.subspan(static_cast<std::size_t>(got));
    }
    return true;
}

// The command interpreter's PAUSE prints its own prompt and waits for a key.
Pause::Pause() = default;

std::string_view Pause::prompt() const {
    return "";
}

std::string_view Pause::after_key() const {
    return "";
}

void Pause::wait() const {
    [[maybe_unused]] const int ignored = std::system("PAUSE");
}

} // namespace platform
