// zvk-setup-dumper: prints the car setup stored in a ZVK hotlap (QDP) file.
//
// One pass: banner, name, open, size, load, recognise, report, release,
// pause, exit. Everything goes to standard output; nothing is written to disk.

#include "hotlap_layout.hpp"
#include "lap_report.hpp"
#include "platform.hpp"
#include "text_sink.hpp"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

namespace {

// kept as the simulator has it
constexpr std::string_view prompt = "File name: ";
constexpr std::string_view name_out_of_memory = "Not enough memory to open the file\n";
// The size line has no newline of its own; these messages end it.
constexpr std::string_view out_of_memory = "\nNot enough memory to load the file\n";
constexpr std::string_view cannot_read = "\nUnable to read the whole file\n";

// The file named by the first argument, or by the word typed at the prompt.
// Names are all the tool allocates besides the file buffer (and, on a
// Windows console, the few bytes of each text in UTF-16), so this is the
// only step where memory can run out before the load.
std::optional<platform::InputFile> open_named_file(int argc, platform::ArgumentChar* argv[],
                                                   StdoutSink& out) {
    try {
        std::optional<std::filesystem::path> name;
        if (argc >= 2) {
            name = argv[1];
        } else {
            out.write(prompt);
            out.flush();
            name = platform::read_file_name();
        }
        auto file = name ? platform::InputFile::open(*name) : std::nullopt;
        if (!file) {
            print_cannot_open(out);
        }
        return file;
    } catch (const std::bad_alloc&) {
        out.write(name_out_of_memory);
        return std::nullopt;
    }
}

// Sizes, loads and reports on an open file. The file buffer lives only in
// here, so it is released on every path before the pause.
Outcome load_and_report(std::optional<platform::InputFile> file, StdoutSink& out) {
    const auto length = file->length();
    if (!length) {
        print_cannot_open(out);
        return Outcome::not_loaded;
    }
    if (const auto refused = print_size_line(*length, out)) {
        return *refused;
    }
    out.flush_to_terminal(); // a large file or a slow disk takes a moment

    // Not zeroed: the read overwrites every byte. Laps are 4 to 64 KiB.
    const auto size = static_cast<std::size_t>(*length);
    const std::unique_ptr<std::byte[]> buffer{new (std::nothrow) std::byte[size]};
    if (!buffer) {
        out.write(out_of_memory);
        return Outcome::not_loaded;
    }
    const std::span<std::byte> contents(buffer.get(), size);
    const bool loaded = file->read_whole(contents);
    file.reset();
    if (!loaded) {
        out.write(cannot_read);
        return Outcome::not_loaded;
    }
    return report_on_lap(hotlap::Reader{contents}, out);
}

// 2 when standard output did not take every byte (a full disk, say), the one
// thing the tool says on standard error; else the outcome's own status.
int closing_status(StdoutSink& out, Outcome outcome) {
    if (const auto failure = out.close()) {
        std::fprintf(stderr, "zvk-setup-dumper: cannot write to standard output: %s\n",
                     std::strerror(*failure));
        return 2;
    }
    return exit_status(outcome);
}

int run(int argc, platform::ArgumentChar* argv[]) {
    StdoutSink out{platform::output_display()};
    print_banner(out);
    out.flush_to_terminal(); // opening a file can take a moment
    auto file = open_named_file(argc, argv, out);
    const Outcome outcome = file ? load_and_report(std::move(file), out) : Outcome::not_loaded;
    const platform::Pause pause;
    out.write(pause.prompt());
    out.flush(); // everything on the screen before the wait
    pause.wait();
    out.write(pause.after_key());
    return closing_status(out, outcome);
}

} // namespace

#ifdef _WIN32
// Wide arguments, split by the C runtime as every other program's are.
int wmain(int argc, wchar_t* argv[]) {
    return run(argc, argv);
}
#else
int main(int argc, char* argv[]) {
    return run(argc, argv);
}
#endif
