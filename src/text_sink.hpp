// Where the report's text goes: standard output in the tool, a string in tests.
#pragma once

#include "display.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// What a piece of the report is, for a sink that takes the report apart.
enum class Piece : std::uint8_t {
    heading, // a section's heading, with the newlines around it
    number,  // a figure, as printed
    text,    // a text field of the file, as the display shows it
    tyre,    // a tyre compound's name
};

class TextSink {
public:
    virtual void write(std::string_view text) = 0;

    // A heading, a figure or a compound's name: written as it is.
    void write_piece(Piece piece, std::string_view text);

    // A text field of the file, shown as the display asks. NUL, the padding
    // of a short name, goes out as it is but to a web page. A display that
    // reads fields in their letters takes a field as UTF-8 when the name, the
    // bytes before its first NUL, is valid UTF-8 with a letter of more than
    // one byte, and reads any other in its code page.
    void write_field(std::span<const std::byte> bytes);

protected:
    explicit TextSink(Display display) : display_(display) {}
    TextSink(const TextSink&) = default;
    TextSink& operator=(const TextSink&) = default;
    ~TextSink() = default;

    // Around the text of each piece, for a sink that tells them apart.
    virtual void piece_starts(Piece /*piece*/) {}
    virtual void piece_ends() {}

    // Whether a person reads the text as it comes.
    [[nodiscard]] bool terminal() const { return display_.kind != Display::Kind::as_is; }

private:
    void write_field_text(std::span<const std::byte> bytes);
    // Writes a field's text with what the display shows instead of its
    // controls.
    void write_shown(std::string_view text);

    Display display_;
};

// Collects output in a fixed buffer and hands it to standard output in as few
// writes as possible: to a file or a pipe, a whole report is one write.
class StdoutSink final : public TextSink {
public:
    explicit StdoutSink(Display display) : TextSink(display) {}
    StdoutSink(const StdoutSink&) = delete;
    StdoutSink& operator=(const StdoutSink&) = delete;
    ~StdoutSink() { flush(); }

    void write(std::string_view text) override;
    // Hands everything written so far to standard output.
    void flush();
    // Flushes only to a terminal, so that what is printed is on the screen
    // before a step that can take time.
    void flush_to_terminal();
    // Flushes and closes standard output. Answers the system's error number
    // of the first write, flush or close that failed, or nothing when every
    // byte arrived. Nothing is written after a failure or after the close.
    [[nodiscard]] std::optional<int> close();

private:
    std::array<char, 4096> buffer_{};
    std::size_t used_ = 0;
    bool closed_ = false;
    int failure_ = 0; // error number of the first failure; 0 while all went well
};

// Collects output in memory, for checking it without a process of its own.
class StringSink final : public TextSink {
public:
    explicit StringSink(Display display = Display::as_is) : TextSink(display) {}
    void write(std::string_view text) override { collected_.append(text); }
    [[nodiscard]] const std::string& text() const { return collected_; }

private:
    std::string collected_;
};
