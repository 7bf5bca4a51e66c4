// What differs between Windows and POSIX systems: file names, opening and
// sizing the file, and the pause at the end of a run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>

namespace platform {

// The first command-line argument; any further ones are ignored.
[[nodiscard]] std::optional<std::filesystem::path> file_name_argument(int argc, char* argv[]);

// One word from standard input: leading white space is skipped and the word
// ends at the next white space. Nothing when input ends before a word.
[[nodiscard]] std::optional<std::filesystem::path> read_file_name();

// A file opened for reading in binary mode. Directories do not open.
class InputFile {
public:
    [[nodiscard]] static std::optional<InputFile> open(const std::filesystem::path& name);

    // The file's length in bytes, read as the position of its end.
    [[nodiscard]] std::optional<std::uint64_t> length();
    // Fills `buffer` from the start of the file; false when fewer bytes arrive.
    [[nodiscard]] bool read_whole(std::span<std::byte> buffer);

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    explicit InputFile(std::FILE* file) : file_(file) {}

    std::unique_ptr<std::FILE, Closer> file_;
};

// Releases a file buffer the way it was obtained.
struct FileBufferRelease {
    std::size_t mapped = 0; // bytes mapped from the system; 0 when from the heap
    void operator()(std::byte* bytes) const;
};
using FileBuffer = std::unique_ptr<std::byte[], FileBufferRelease>;

// Memory for `size` bytes of file contents, not zero-filled since the read
// overwrites it. Large buffers ask for huge pages where the system has them,
// which saves most of the page faults of filling them. Null when memory runs out.
[[nodiscard]] FileBuffer allocate_file_buffer(std::size_t size);

// Waits for a key so that a console window opened for the run stays readable.
void pause();

} // namespace platform
