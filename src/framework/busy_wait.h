// Waiting on the user-interface thread without freezing the windows: paint and timer
// messages go on, while the operator's input waits until the wait is over.
#pragma once

#include <windows.h>

#include <vector>

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

// Keeps the operator's input away from this thread's windows for the scope of a long step
// that waits in message loops it does not own (a DDE transaction runs one): each enabled
// visible top-level window is disabled, so it still paints but takes no clicks or keys, and
// the wait cursor shows. At the end input queued meanwhile is dropped, the windows are
// enabled again, and a close asked for meanwhile (PutOffClose) is carried out.
class InputBlock {
  public:
    InputBlock();
    ~InputBlock();
    InputBlock(const InputBlock&) = delete;
    InputBlock& operator=(const InputBlock&) = delete;

    static bool Active();
    // For a window's WM_CLOSE: true when a block is active and the close was put off until
    // it ends; the window must then not close now.
    static bool PutOffClose(HWND hwnd);

  private:
    WaitCursor cursor_;
    std::vector<HWND> disabled_;
    HWND active_;
    HWND focus_;
};

} // namespace fw
