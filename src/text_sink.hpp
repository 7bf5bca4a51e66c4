// Where the report's text goes: standard output in the tool, a string in tests.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

class TextSink {
public:
    virtual void write(std::string_view text) = 0;

    // Raw bytes of a text field, each written unchanged: zero and high bytes included.
    void write(std::span<const std::byte> bytes) {
        write(std::string_view{reinterpret_cast<const char*>(bytes.data()), bytes.size()});
    }

protected:
    TextSink() = default;
    TextSink(const TextSink&) = default;
    TextSink& operator=(const TextSink&) = default;
    ~TextSink() = default;
};

// Collects output in a fixed buffer and hands it to standard output in as few
// writes as possible: a whole report is one write.
class StdoutSink final : public TextSink {
public:
    StdoutSink() = default;
    StdoutSink(const StdoutSink&) = delete;
    StdoutSink& operator=(const StdoutSink&) = delete;
    ~StdoutSink() { flush(); }

    void write(std::string_view text) override;
    // Puts everything written so far on the screen, e.g. before waiting for input.
    void flush();

private:
    std::array<char, 4096> buffer_{};
    std::size_t used_ = 0;
};

// Collects output in memory, for checking it without a process of its own.
class StringSink final : public TextSink {
public:
    void write(std::string_view text) override { collected_.append(text); }
    [[nodiscard]] const std::string& text() const { return collected_; }

private:
    std::string collected_;
};
