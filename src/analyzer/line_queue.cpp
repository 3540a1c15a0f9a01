#include "analyzer/line_queue.h"

#include <algorithm>
#include <cstring>

void LineQueue::Push(const char* text, int chars, int length) {
    ReceivedLine line{};
    chars = std::clamp(chars, 0, kMaxLineChars);
    std::memcpy(line.text, text, static_cast<size_t>(chars));
    line.text[chars] = 0;
    line.chars = chars;
    line.length = length;
    std::lock_guard<std::mutex> guard(m_Lock);
    if (m_Lines.size() >= kCapacity)
        m_Lines.pop_front();
    m_Lines.push_back(line);
}

bool LineQueue::Pop(ReceivedLine& out) {
    std::lock_guard<std::mutex> guard(m_Lock);
    if (m_Lines.empty())
        return false;
    out = m_Lines.front();
    m_Lines.pop_front();
    return true;
}

void LineQueue::DropNewest() {
    std::lock_guard<std::mutex> guard(m_Lock);
    if (!m_Lines.empty())
        m_Lines.pop_back();
}

size_t LineQueue::Size() const {
    std::lock_guard<std::mutex> guard(m_Lock);
    return m_Lines.size();
}

void LineQueue::Clear() {
    std::lock_guard<std::mutex> guard(m_Lock);
    m_Lines.clear();
}
