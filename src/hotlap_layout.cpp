#include "hotlap_layout.hpp"

#include "library_gaps.hpp"

#include <limits>

namespace hotlap {

static_assert(std::numeric_limits<float>::is_iec559 && sizeof(float) == real_width,
              "reals in the file are IEEE-754 single precision");

std::span<const std::byte> Reader::bytes_at(std::size_t offset, std::size_t width) const {
    if (offset > bytes_.size() || width > bytes_.size() - offset) {
        return {};
    }
    return bytes_.subspan(offset, width);
}

float Reader::real(RealField field) const {
    const auto bytes = bytes_at(field.offset, real_width);
    std::uint32_t word = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        word |= std::to_integer<std::uint32_t>(bytes[i]) << (8 * i);
    }
    return library_gaps::bit_cast<float>(word);
}

float Reader::real(RealArrayField array, std::size_t index) const {
    if (index >= array.count) {
        return 0.0F;
    }
    return real(RealField{array.offset + index * real_width});
}

std::uint8_t Reader::byte(ByteField field) const {
    const auto bytes = bytes_at(field.offset, 1);
    return bytes.empty() ? 0 : std::to_integer<std::uint8_t>(bytes[0]);
}

std::int8_t Reader::signed_byte(SignedByteField field) const {
    // Two's complement by definition since C++20: 0x80..0xFF read as negative.
    return static_cast<std::int8_t>(byte(ByteField{field.offset}));
}

std::span<const std::byte> Reader::text(TextField field) const {
    return bytes_at(field.offset, field.width);
}

Reader Reader::record(RecordArrayField array, std::size_t index) const {
    if (index >= array.count) {
        return Reader{{}};
    }
    return Reader{bytes_at(array.offset + index * array.size, array.size)};
}

} // namespace hotlap
