// A one-line progress bar on stderr, drawn only when stderr is a terminal.
#pragma once

#include <cstdint>
#include <string>

class Progress {
  public:
    // Off unless `wanted` and stderr is a terminal.
    explicit Progress(bool wanted);

    // A bar for `total` units of `label`; small jobs get none.
    void Start(const std::string& label, int64_t total, int64_t threshold);
    void Advance(int64_t units);
    void Done();

  private:
    void Draw();

    bool on_;
    bool active_ = false;
    std::string label_;
    int64_t total_ = 0, done_ = 0;
    int shownPercent_ = -1;
};
