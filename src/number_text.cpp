#include "number_text.hpp"

#include "library_gaps.hpp"

#include <cmath>

namespace {

// True when `value` lies exactly halfway between two outputs with `decimals`
// digits: value * 10^decimals = k + 1/2, which for a binary fraction means that
// value * 2^(decimals + 1) is an odd integer.
bool is_tie(double value, int decimals) {
    const double scaled = std::ldexp(value, decimals + 1); // exact: a power of two
    return std::isfinite(scaled) && std::trunc(scaled) == scaled && std::fmod(scaled, 2.0) != 0.0;
}

} // namespace

NumberText fixed_point(double value, Decimals places) {
    const int decimals = places.count();
    NumberText text;
    char* const begin = text.chars_.data();
    if (!std::isfinite(value)) {
        // Spelled out here: C libraries differ in how they print these.
        const bool negative = std::signbit(value);
        const std::string_view word =
            std::isnan(value) ? (negative ? "-nan" : "nan") : (negative ? "-inf" : "inf");
        text.length_ = word.copy(begin, word.size());
        return text;
    }

    char* const limit = begin + text.chars_.size();
    char* end = nullptr;
    // kept as the simulator has it
    if (is_tie(value, decimals)) {
        // Correct rounding would go to even. The exact digits of a tie have one
        // place more, a 5, and the place before it always holds 2 or 7
        // (value * 10^decimals = m * 5^decimals / 2 with m odd), so rounding
        // away from zero drops the 5 and raises that digit by one: no carry.
        end = library_gaps::fixed_chars(begin, limit, value, decimals + 1) - 1;
        ++*(end - 1);
    } else {
        end = library_gaps::fixed_chars(begin, limit, value, decimals);
    }
    text.length_ = static_cast<std::size_t>(end - begin);
    return text;
}

std::int32_t truncate_to_int32(double value) {
    constexpr double two_to_63 = 0x1p63;
    // A conversion out of the 64-bit range is undefined, so it is never made.
    if (!std::isfinite(value) || std::fabs(value) >= two_to_63) {
        return 0;
    }
    // kept as the simulator has it
    const auto wide = static_cast<std::int64_t>(value);                 // toward zero
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(wide)); // low 32 bits
}
