// Hands completed lines from the serial watch thread to the UI thread. Each line is a copy,
// so a line that arrives before the UI thread has looked at the previous one cannot
// overwrite it.
#pragma once

#include "analyzer/line_assembler.h"

#include <cstddef>
#include <deque>
#include <mutex>

class LineQueue {
  public:
    // A UI thread that stops taking lines must not make the queue grow without end: past
    // this many the oldest line is dropped.
    static constexpr size_t kCapacity = 64;

    void Push(const char* text, int chars, int length);
    bool Pop(ReceivedLine& out);
    // Takes back the line just pushed, when its notification could not be posted.
    void DropNewest();
    size_t Size() const;
    void Clear();

  private:
    mutable std::mutex m_Lock;
    std::deque<ReceivedLine> m_Lines;
};
