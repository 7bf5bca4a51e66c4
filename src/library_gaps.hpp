// What some C++ libraries the tool is built with still lack, filled in one
// place: libc++ 13 (Emscripten's, for the web page) has neither std::bit_cast
// nor std::to_chars for floating point.
#pragma once

#include <bit>
#include <charconv>
#include <cstddef>
#include <cstdio>

namespace library_gaps {

#ifdef __cpp_lib_bit_cast
template <class To, class From> [[nodiscard]] constexpr To bit_cast(const From& from) {
    return std::bit_cast<To>(from);
}
#else
template <class To, class From> [[nodiscard]] constexpr To bit_cast(const From& from) {
    return __builtin_bit_cast(To, from);
}
#endif

// `value` in fixed notation with `decimals` places, correctly rounded (ties to
// even), written from `begin`; answers the end. `limit - begin` must hold the
// longest double in fixed notation.
#if defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 14000
// printf gives the same exact digits; Emscripten's C library has only the C
// locale, so the point is always '.'.
[[nodiscard]] inline char* fixed_chars(char* begin, char* limit, double value, int decimals) {
    const int length =
        std::snprintf(begin, static_cast<std::size_t>(limit - begin), "%.*f", decimals, value);
    return begin + length;
}
#else
[[nodiscard]] inline char* fixed_chars(char* begin, char* limit, double value, int decimals) {
    return std::to_chars(begin, limit, value, std::chars_format::fixed, decimals).ptr;
}
#endif

} // namespace library_gaps
