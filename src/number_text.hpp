// Numbers as the report prints them, identical on every platform and C library.
#pragma once

#include <array>
#include <charconv>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string_view>

// The text of one number, held by value so that formatting never allocates.
class NumberText {
public:
    // The longest double in fixed notation: a sign, 309 integer digits, a
    // point and the decimals, with room to spare.
    static constexpr std::size_t capacity = 330;

    [[nodiscard]] std::string_view view() const { return {chars_.data(), length_}; }

private:
    friend NumberText fixed_point(double value, int decimals);
    template <std::integral Integer> friend NumberText decimal(Integer value);

    std::array<char, capacity> chars_{};
    std::size_t length_ = 0;
};

// `value` with `decimals` digits after the point (1 to 3), like printf's "%.Nf"
// but with a value exactly halfway between two outputs rounded away from zero.
// Infinities and not-a-number print as "inf", "-inf", "nan" and "-nan".
[[nodiscard]] NumberText fixed_point(double value, int decimals);

// Plain decimal: no grouping, no padding, a sign only when negative.
template <std::integral Integer> [[nodiscard]] NumberText decimal(Integer value) {
    NumberText text;
    const auto end =
        std::to_chars(text.chars_.data(), text.chars_.data() + text.chars_.size(), value);
    text.length_ = static_cast<std::size_t>(end.ptr - text.chars_.data());
    return text;
}

// What the writer's "%i" of a real shows: truncated toward zero to a signed
// 64-bit integer, of which the low 32 bits are taken as a signed number. Values
// that are not finite or have a magnitude of 2^63 or more give 0.
[[nodiscard]] std::int32_t truncate_to_int32(double value);
