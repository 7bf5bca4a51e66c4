// Numbers as the report prints them, identical on every platform and C library.
#pragma once

#include <array>
#include <charconv>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string_view>

// Places after the decimal point, 1 to 3. The constructor runs when the
// program is compiled, so no other count can reach the formatting.
class Decimals {
public:
    // Implicit, so that a table of lines can simply say 3.
    consteval Decimals(int count) : count_(count) {
        if (count < 1 || count > 3) {
            throw "fixed_point prints 1 to 3 decimals";
        }
    }
    [[nodiscard]] constexpr int count() const { return count_; }

private:
    int count_;
};

// The text of one number, held by value so that formatting never allocates.
class NumberText {
public:
    // The longest double in fixed notation: a sign, 309 integer digits, a
    // point and the decimals, with room to spare.
    static constexpr std::size_t capacity = 330;

    [[nodiscard]] std::string_view view() const { return {chars_.data(), length_}; }

private:
    friend NumberText fixed_point(double value, Decimals decimals);
    template <std::integral Integer> friend NumberText decimal(Integer value);

    std::array<char, capacity> chars_{};
    std::size_t length_ = 0;
};

// `value` with `decimals` digits after the point, like printf's "%.Nf" but with a value exactly
// halfway between two outputs rounded away from zero. Infinities and not-a-number print as "inf",
// "-inf", "nan" and "-nan".
[[nodiscard]] NumberText fixed_point(double value, Decimals decimals);

// Plain decimal: no grouping, no padding, a sign only when negative.
template <std::integral Integer> [[nodiscard]] NumberText decimal(Integer value) {
    NumberText text;
    const auto end =
        std::to_chars(text.chars_.data(), text.chars_.data() + text.chars_.size(), value);
    text.length_ = static_cast<std::size_t>(end.ptr - text.chars_.data());
    return text;
}

// A real as the report shows it with "%i": truncated toward zero to a signed
// 64-bit integer, of which the low 32 bits are taken as a signed number. Values
// that are not finite or have a magnitude of 2^63 or more give 0.
[[nodiscard]] std::int32_t truncate_to_int32(double value);
