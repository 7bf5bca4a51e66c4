// zvk-setup-dumper: prints the car setup stored in a ZVK hotlap (QDP) file.
//
// One pass: banner, name, open, size, load, recognise, report, release,
// pause, exit. Everything goes to standard output; nothing is written to disk.

#include "file_info.hpp"
#include "hotlap_layout.hpp"
#include "number_text.hpp"
#include "platform.hpp"
#include "setup_report.hpp"
#include "text_sink.hpp"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>

namespace {

constexpr std::string_view banner = "ZVK Hotlap QDP File Setting Dumper by Brasko & Telvin\n";
constexpr std::string_view prompt = "File name: ";
constexpr std::string_view cannot_open = "File doesn't exist/Unable to open file\n";
// The size line has no newline of its own; these messages end it.
constexpr std::string_view out_of_memory = "\nNot enough memory to load the file\n";
constexpr std::string_view cannot_read = "\nUnable to read the whole file\n";

enum ExitStatus : int { success = 0, front_rear_undecidable = 1 };

// Opens, sizes, loads and reports on one file. The file buffer lives only in
// here, so it is released on every path before the pause.
ExitStatus dump(const std::optional<std::filesystem::path>& name, TextSink& out) {
    auto file = name ? platform::InputFile::open(*name) : std::nullopt;
    const auto length = file ? file->length() : std::nullopt;
    if (!length) {
        out.write(cannot_open);
        return success;
    }

    out.write("File size: ");
    out.write(decimal(*length).view());
    out.write(" bytes");
    if (*length > hotlap::layout::max_length) {
        // Too long for the writer's own size count: no hotlap file, not loaded.
        print_not_a_hotlap(out);
        return success;
    }

    const auto size = static_cast<std::size_t>(*length);
    const platform::FileBuffer buffer = platform::allocate_file_buffer(size);
    if (!buffer) {
        out.write(out_of_memory);
        return success;
    }
    const std::span<std::byte> contents(buffer.get(), size);
    const bool loaded = file->read_whole(contents);
    file.reset();
    if (!loaded) {
        out.write(cannot_read);
        return success;
    }

    const hotlap::Reader hotlap_file{contents};
    if (recognise(hotlap_file, out) == Recognition::rejected) {
        return success;
    }
    print_file_info(hotlap_file, out);
    if (print_setup_report(hotlap_file, out) == ReportOutcome::front_rear_undecidable) {
        return front_rear_undecidable;
    }
    return success;
}

} // namespace

int main(int argc, char* argv[]) {
    StdoutSink out;
    out.write(banner);

    auto name = platform::file_name_argument(argc, argv);
    if (!name) {
        out.write(prompt);
        out.flush();
        name = platform::read_file_name();
    }

    const ExitStatus status = dump(name, out);

    out.flush();
    platform::pause();
    return status;
}
