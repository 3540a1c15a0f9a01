#include "collect/progress.h"

#include "collect/rows.h"

#include <cstdio>
#include <unistd.h>

Progress::Progress(bool wanted) : on_(wanted && isatty(STDERR_FILENO)) {
}

void Progress::Start(const std::string& label, int64_t total, int64_t threshold) {
    active_ = on_ && total >= threshold && total > 0;
    label_ = label;
    total_ = total;
    done_ = 0;
    shownPercent_ = -1;
    Draw();
}

void Progress::Advance(int64_t units) {
    done_ += units;
    Draw();
}

void Progress::Draw() {
    if (!active_)
        return;
    const int percent = static_cast<int>(done_ * 100 / total_);
    if (percent == shownPercent_)
        return;
    shownPercent_ = percent;
    constexpr int kWidth = 30;
    const int filled = percent * kWidth / 100;
    std::fprintf(stderr, "\r%s [%s%s] %3d%% %s/%s", label_.c_str(),
                 std::string(static_cast<size_t>(filled), '#').c_str(),
                 std::string(static_cast<size_t>(kWidth - filled), '-').c_str(), percent,
                 rows::Thousands(done_).c_str(), rows::Thousands(total_).c_str());
    std::fflush(stderr);
}

void Progress::Done() {
    if (active_)
        std::fprintf(stderr, "\r\033[K");
    active_ = false;
}
