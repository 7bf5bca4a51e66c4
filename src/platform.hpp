// What differs between systems: the arguments' characters, reading a typed
// name, opening and sizing the file, standard output, and the pause at the
// end of a run. One source file per system implements it.
#pragma once

#include "display.hpp"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

namespace platform {

// The characters of command-line arguments: UTF-16 on Windows, where the
// ANSI code page cannot spell every name, bytes elsewhere.
using ArgumentChar = std::filesystem::path::value_type;

// One word from standard input, or from the console where there is one:
// leading white space is skipped and the word ends at the next white space.
// Nothing when input ends before a word, or when the word is longer than any
// name a system can open (then no more input is read).
[[nodiscard]] std::optional<std::filesystem::path> read_file_name();

// How standard output shows a file's text: as it is to a file or a pipe; on
// a terminal, with the controls of its character set shown; on a Windows
// console, also in the letters it was written in; on another Windows device,
// with its controls shown.
[[nodiscard]] Display output_display();

// A file opened for reading in binary mode. Only regular files open: a
// directory, a named pipe or a device is refused before it is opened.
class InputFile {
public:
    [[nodiscard]] static std::optional<InputFile> open(const std::filesystem::path& name);

    InputFile(InputFile&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}
    InputFile& operator=(InputFile&&) = delete;
    ~InputFile() {
        if (descriptor_ >= 0) {
            close_descriptor(descriptor_);
        }
    }

    // The file's length in bytes, read as the position of its end.
    [[nodiscard]] std::optional<std::uint64_t> length();
    // Fills `buffer` from the start of the file; false when fewer bytes arrive.
    [[nodiscard]] bool read_whole(std::span<std::byte> buffer);

private:
    explicit InputFile(int descriptor) : descriptor_(descriptor) {}
    // The system's close of a C runtime descriptor.
    static void close_descriptor(int descriptor);

    int descriptor_;
};

// Writes all of `bytes` to standard output, waiting where a write would
// block (a terminal left non-blocking and held with Ctrl+S, say). The
// system's error number when it fails, else 0.
[[nodiscard]] int write_output(std::string_view bytes);
// Closes standard output: the error number of a failure that a file system
// reports only then, else 0.
[[nodiscard]] int close_output();

// The wait for a key at the end of a run, so that a console window opened for
// the run stays readable. Where the tool waits itself, it prints a prompt
// before and a line end after (the key is not echoed); where the system's
// PAUSE waits, that prints its own.
class Pause {
public:
    Pause(); // decides whether the tool itself waits for the key

    [[nodiscard]] std::string_view prompt() const;
    [[nodiscard]] std::string_view after_key() const;
    // Waits for the key. What the tool printed must be on the screen first.
    void wait() const;

private:
    bool waits_ = false;
};

} // namespace platform
