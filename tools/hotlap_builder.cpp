#include "hotlap_builder.hpp"

#include <algorithm>
#include <bit>
#include <utility>

namespace {

class Writer {
public:
    Writer(std::size_t length, std::uint8_t filler) : bytes_(length, std::byte{filler}) {}

    void byte(std::size_t offset, std::uint8_t value) {
        if (offset < bytes_.size()) {
            bytes_[offset] = std::byte{value};
        }
    }
    void real(std::size_t offset, float value) {
        const auto word = std::bit_cast<std::uint32_t>(value);
        for (std::size_t i = 0; i < 4; ++i) {
            byte(offset + i, static_cast<std::uint8_t>(word >> (8 * i)));
        }
    }
    void text(std::size_t offset, std::size_t width, const std::string& value) {
        for (std::size_t i = 0; i < width; ++i) {
            byte(offset + i, i < value.size() ? static_cast<std::uint8_t>(value[i]) : 0);
        }
    }
    std::vector<std::byte> take() { return std::move(bytes_); }

private:
    std::vector<std::byte> bytes_;
};

} // namespace

std::vector<std::byte> build_hotlap(const HotlapFields& lap) {
    Writer file(lap.length, lap.filler);
    file.text(0, 6, lap.signature);
    file.byte(15, lap.format);
    file.text(24, 4, lap.track);
    file.text(32, 32, lap.player);
    file.text(64, 32, lap.car);
    file.text(144, 16, lap.weather);
    file.text(160, 8, lap.version);
    file.real(196, lap.rear_anti_roll);
    file.real(200, lap.front_anti_roll);
    file.real(204, lap.final_drive);
    file.byte(208, lap.gear_count);
    for (std::size_t gear = 0; gear < lap.gear_ratios.size(); ++gear) {
        file.real(212 + 4 * gear, lap.gear_ratios[gear]);
    }
    for (std::size_t k = 0; k < lap.wheels.size(); ++k) {
        const WheelFields& wheel = lap.wheels[k];
        const std::size_t block = 512 + 128 * k;
        file.real(block + 4, wheel.longitudinal_offset);
        file.real(block + 20, wheel.motion_range);
        file.real(block + 28, 0.0F); // the whole tyre word; only its second byte is the code
        file.byte(block + 29, wheel.compound);
        file.real(block + 32, wheel.spring_stiffness);
        file.real(block + 36, wheel.bump_damping);
        file.real(block + 40, wheel.rebound_damping);
        file.real(block + 44, wheel.brake_torque);
    }
    return file.take();
}

HotlapFields sample_hotlap() {
    HotlapFields lap;
    lap.version = "1.2.7";
    lap.player = "Jorg Pilot";
    lap.car = "Kestrel GT3";
    lap.track = "MNZ";
    lap.weather = "Dry, 24C";
    lap.rear_anti_roll = 65000.0F;
    lap.front_anti_roll = 82500.0F;
    lap.final_drive = 4.125F;
    lap.gear_count = 5;
    lap.gear_ratios = {3.214F, 2.105F, 1.562F, 1.238F, 1.0F, 0.0F};
    const WheelFields rear{.longitudinal_offset = -1.3F,
                           .motion_range = 0.0625F,
                           .compound = 1,
                           .spring_stiffness = 95000.0F,
                           .bump_damping = 4200.0F,
                           .rebound_damping = 7800.0F,
                           .brake_torque = 1150.0F};
    const WheelFields front{.longitudinal_offset = 1.45F,
                            .motion_range = 0.055F,
                            .compound = 0,
                            .spring_stiffness = 120000.0F,
                            .bump_damping = 3600.0F,
                            .rebound_damping = 6900.0F,
                            .brake_torque = 1600.0F};
    lap.wheels = {rear, rear, front, front};
    lap.length = 4096;
    return lap;
}

HotlapFields plain_hotlap() {
    HotlapFields lap;
    lap.gear_count = 2;
    lap.gear_ratios = {2.5F, 1.5F, 0.0F, 0.0F, 0.0F, 0.0F};
    lap.final_drive = 3.5F;
    const WheelFields rear{.longitudinal_offset = -1.0F,
                           .motion_range = 0.1F,
                           .compound = 2,
                           .spring_stiffness = 80000.0F,
                           .bump_damping = 3000.0F,
                           .rebound_damping = 6000.0F,
                           .brake_torque = 300.0F};
    WheelFields front = rear;
    front.longitudinal_offset = 1.0F;
    front.compound = 4;
    front.spring_stiffness = 90000.0F;
    front.brake_torque = 700.0F;
    lap.wheels = {rear, front, rear, front};
    return lap;
}
