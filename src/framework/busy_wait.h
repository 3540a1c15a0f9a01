// Waiting on the user-interface thread without freezing the windows: paint and timer
// messages go on, while the operator's input waits until the wait is over.
#pragma once

#include <windows.h>

namespace fw {

// Returns after `ms` milliseconds. Meanwhile windows repaint and timers run, messages sent
// from other threads and processes are answered (DDE needs that), and the wait cursor
// stays up because no mouse input is dispatched. A code path reached from a timer or a
// sent message may run during the wait: guard what must not run twice (see BusyFlag).
void WaitKeepingPainted(DWORD ms);

// Drops the mouse and keyboard input that queued up for this thread during a long step, so
// clicks made meanwhile do not act once it is over.
void DropQueuedInput();

// Shows the wait cursor for the scope.
class WaitCursor {
  public:
    WaitCursor() : previous_(SetCursor(LoadCursorA(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { SetCursor(previous_ ? previous_ : LoadCursorA(nullptr, IDC_ARROW)); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

  private:
    HCURSOR previous_;
};

// Marks an operation under way for the scope; a second one asks Busy() first.
class BusyFlag {
  public:
    explicit BusyFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~BusyFlag() { flag_ = false; }
    BusyFlag(const BusyFlag&) = delete;
    BusyFlag& operator=(const BusyFlag&) = delete;

  private:
    bool& flag_;
};

} // namespace fw
