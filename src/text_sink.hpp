// Where the report's text goes: standard output in the tool, a string in tests.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

class TextSink {
public:
    virtual void write(std::string_view text) = 0;

    // A text field of the file. To a file or a pipe every byte goes out
    // unchanged, zero and high bytes included. On a terminal a file's bytes
    // must not act as commands (clear the screen, set the title, make the
    // terminal answer, forge a line): control characters are shown instead,
    // C0 and DEL in caret notation (ESC as ^[), and C1 in UTF-8 as <U+009B>.
    // NUL, the padding of a short name, and lone bytes 0x80-0x9F, letters in
    // a Windows code page, go out as they are.
    void write_field(std::span<const std::byte> bytes);

protected:
    // `terminal`: the text goes to a terminal or console, read by a person.
    explicit TextSink(bool terminal) : terminal_(terminal) {}
    TextSink(const TextSink&) = default;
    TextSink& operator=(const TextSink&) = default;
    ~TextSink() = default;

    [[nodiscard]] bool terminal() const { return terminal_; }

private:
    bool terminal_;
};

// Collects output in a fixed buffer and hands it to standard output in as few
// writes as possible: to a file or a pipe, a whole report is one write.
class StdoutSink final : public TextSink {
public:
    // `terminal`: standard output is a terminal, where a person reads each
    // line as it comes.
    explicit StdoutSink(bool terminal) : TextSink(terminal) {}
    StdoutSink(const StdoutSink&) = delete;
    StdoutSink& operator=(const StdoutSink&) = delete;
    ~StdoutSink() { flush(); }

    void write(std::string_view text) override;
    // Hands everything written so far to standard output, e.g. before waiting
    // for input.
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
    explicit StringSink(bool terminal = false) : TextSink(terminal) {}
    void write(std::string_view text) override { collected_.append(text); }
    [[nodiscard]] const std::string& text() const { return collected_; }

private:
    std::string collected_;
};
