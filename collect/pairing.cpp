#include "collect/pairing.h"

#include <algorithm>

namespace pairing {

std::vector<Screening> Pair(const std::vector<Measurement>& measurements, const Window& window,
                            bool pairs) {
    std::vector<Screening> screenings;
    std::vector<size_t> open; // positions in `screenings` still waiting, oldest first
    for (size_t i = 0; i < measurements.size(); ++i) {
        const Measurement& m = measurements[i];
        bool confirms = false;
        if (m.time && pairs) {
            const int64_t t = *m.time;
            std::erase_if(open, [&](size_t s) {
                const int64_t screened = *measurements[screenings[s].index].time;
                if (t > screened + window.withinSeconds)
                    return true; // its window has passed without a test
                if (t < screened + window.afterSeconds)
                    return false;
                screenings[s].confirmation = i;
                confirms = true;
                return true;
            });
        }
        if (confirms || !m.positive)
            continue;
        if (m.time && pairs)
            open.push_back(screenings.size());
        screenings.push_back({i, std::nullopt});
    }
    return screenings;
}

} // namespace pairing
