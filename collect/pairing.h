// Which measurement confirms a positive screening: the first measurement of the same member
// at any station from `after` to `within` seconds after it, both ends included. A
// measurement that confirms one is no screening itself, whatever its result. Pure logic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace pairing {

struct Window {
    int64_t afterSeconds = 15 * 60;
    int64_t withinSeconds = 30 * 60;
};

// One member's measurement. Untimed ones can neither be confirmed nor confirm.
struct Measurement {
    std::optional<int64_t> time;
    bool positive = false;
};

struct Screening {
    size_t index;                       // into the member's measurements
    std::optional<size_t> confirmation; // the measurement that confirms it, if any
};

// The screenings among one member's measurements, given in the order they were taken (timed
// ones by time; untimed ones anywhere). A measurement inside the windows of several open
// screenings confirms them all. `pairs` false (a member with no ID) makes every positive a
// screening that nothing confirms.
std::vector<Screening> Pair(const std::vector<Measurement>& measurements, const Window& window,
                            bool pairs = true);

} // namespace pairing
