// The fields of a hotlap (QDP) file that the dumper reads, declared once, and
// the bounds-checked little-endian reader that every section goes through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace hotlap {

inline constexpr std::size_t real_width = 4;

// Where a field lives, and where it ends (one past its last byte). The width
// follows from the type, except for text.
struct RealField { // IEEE-754 single precision, little-endian
    std::size_t offset;
    [[nodiscard]] constexpr std::size_t end() const { return offset + real_width; }
};
struct ByteField { // unsigned 8-bit
    std::size_t offset;
    [[nodiscard]] constexpr std::size_t end() const { return offset + 1; }
};
struct SignedByteField { // two's complement 8-bit
    std::size_t offset;
    [[nodiscard]] constexpr std::size_t end() const { return offset + 1; }
};
struct TextField { // no terminator: every byte belongs to the field
    std::size_t offset;
    std::size_t width;
    [[nodiscard]] constexpr std::size_t end() const { return offset + width; }
};
struct RealArrayField { // `count` reals, one every 4 bytes
    std::size_t offset;
    std::size_t count;
    [[nodiscard]] constexpr std::size_t end() const { return offset + count * real_width; }
};
struct RecordArrayField { // `count` records of `size` bytes, back to back
    std::size_t offset;
    std::size_t size;
    std::size_t count;
    [[nodiscard]] constexpr std::size_t end() const { return offset + size * count; }
};

// Offsets from the start of the file.
namespace layout {
inline constexpr TextField signature{0, 6};
inline constexpr std::string_view signature_text = "ZKVQDP"; // K before V, unlike the tag
inline constexpr ByteField format{15};
inline constexpr std::uint8_t format_not_hotlap = 1;
inline constexpr TextField track{24, 4};
inline constexpr TextField player{32, 32};
inline constexpr TextField car{64, 32};
inline constexpr TextField weather{144, 16};
inline constexpr TextField version{160, 8};
inline constexpr RealField rear_anti_roll{196};  // N/m
inline constexpr RealField front_anti_roll{200}; // N/m
inline constexpr RealField final_drive{204};
inline constexpr SignedByteField gear_count{208};
inline constexpr RealArrayField gear_ratios{212, 6};
inline constexpr RecordArrayField wheel_blocks{512, 128, 4};

// A complete report reads up to the last byte of the last wheel block, so
// recognition demands a file at least this long.
inline constexpr std::size_t complete_length = wheel_blocks.end();
} // namespace layout

// Offsets from the start of a wheel block.
namespace wheel {
inline constexpr RealField longitudinal_offset{4}; // >= 0 on a front wheel
inline constexpr RealField motion_range{20};       // m
inline constexpr ByteField compound_code{29};      // second byte of the tyre word
inline constexpr RealField spring_stiffness{32};   // N/m
inline constexpr RealField bump_damping{36};       // Ns/m
inline constexpr RealField rebound_damping{40};    // Ns/m
inline constexpr RealField brake_torque{44};       // Nm
} // namespace wheel

template <class... Fields> constexpr bool all_end_within(std::size_t limit, Fields... fields) {
    return ((fields.end() <= limit) && ...);
}

// Every field lies inside what recognition demands of a file, and every wheel
// field inside its block, so no field of an accepted file reads as zero.
static_assert(all_end_within(layout::complete_length, layout::signature, layout::format,
                             layout::track, layout::player, layout::car, layout::weather,
                             layout::version, layout::rear_anti_roll, layout::front_anti_roll,
                             layout::final_drive, layout::gear_count, layout::gear_ratios,
                             layout::wheel_blocks));
static_assert(all_end_within(layout::wheel_blocks.size, wheel::longitudinal_offset,
                             wheel::motion_range, wheel::compound_code, wheel::spring_stiffness,
                             wheel::bump_damping, wheel::rebound_damping, wheel::brake_torque));

// Reads typed fields from a byte buffer it does not own. A field that does not
// lie wholly inside the buffer reads as zero (text and records as empty), so
// no read can ever reach past the end.
class Reader {
public:
    explicit Reader(std::span<const std::byte> bytes) : bytes_(bytes) {}

    [[nodiscard]] std::size_t size() const { return bytes_.size(); }

    [[nodiscard]] float real(RealField field) const;
    [[nodiscard]] float real(RealArrayField array, std::size_t index) const;
    [[nodiscard]] std::uint8_t byte(ByteField field) const;
    [[nodiscard]] std::int8_t signed_byte(SignedByteField field) const;
    [[nodiscard]] std::span<const std::byte> text(TextField field) const;
    [[nodiscard]] Reader record(RecordArrayField array, std::size_t index) const;

private:
    [[nodiscard]] std::span<const std::byte> bytes_at(std::size_t offset, std::size_t width) const;

    std::span<const std::byte> bytes_;
};

} // namespace hotlap
