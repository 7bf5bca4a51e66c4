// How a run ends, as each step answers it: the report printed whole, or the
// failure that stopped it, whose message has been printed where it arose.
#pragma once

enum class Outcome {
    done,
    not_loaded,             // the file could not be opened, sized or read
    not_a_hotlap,           // no signature, or the excluded format
    too_short,              // a hotlap's start, shorter than the fields the report reads
    too_long,               // 2 GiB or more, refused unread by its size
    front_rear_undecidable, // the four wheels all lie on one axle
};

// The console's exit status for the outcome; a failed write is the driver's.
[[nodiscard]] constexpr int exit_status(Outcome outcome) {
    // kept as the simulator has it
    return outcome == Outcome::front_rear_undecidable ? 1 : 0;
}
