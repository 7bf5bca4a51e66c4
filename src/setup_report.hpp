// The car setup: suspension and tyres per axle, brakes, gearbox, final drive.
#pragma once

#include "hotlap_layout.hpp"
#include "outcome.hpp"
#include "text_sink.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>

// Which wheel blocks stand for the front and the rear axle.
struct Axles {
    std::size_t front;
    std::size_t rear;
    bool operator==(const Axles&) const = default;
};

// The last block with a longitudinal offset of zero or more is the front, the
// last with a negative (or not-a-number) offset the rear; nothing when all
// four blocks fall on one side.
[[nodiscard]] std::optional<Axles> select_axles(const hotlap::Reader& file);

struct BrakeFigures {
    std::int32_t max_per_wheel; // Nm
    std::int32_t front_balance; // percent
    bool operator==(const BrakeFigures&) const = default;
};

// The brake lines' figures: mean and front share in double precision, the
// share rounded once to single precision, both truncated to whole numbers.
// That rounding is why 700 Nm front and 300 Nm rear show 69%, not 70%.
[[nodiscard]] BrakeFigures brake_figures(float front_torque, float rear_torque);

// Prints the car setup of an accepted file (done), or only the error message
// when the axles cannot be told apart.
[[nodiscard]] Outcome print_setup(const hotlap::Reader& file, TextSink& out);
