// How a run ends, as each step answers it: the report printed whole, or the
// failure that stopped it, whose message has been printed where it arose.
#pragma once

enum class Outcome {
    done,
    not_loaded,             // the file could not be opened, sized or read
    not_a_hotlap,           // recognition refused the file
    front_rear_undecidable, // the four wheels all lie on one axle
};
