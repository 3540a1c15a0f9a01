#include "analyzer/line_assembler.h"

void LineAssembler::Reset() {
    m_nRxPos = 0;
    m_nLineLength = 0;
    m_szLine[0] = 0;
}

void LineAssembler::Feed(const char* data, size_t count, LineSink& sink) {
    for (size_t i = 0; i < count; ++i) {
        const char c = data[i];
        if (c == '$') {
            m_nRxPos = 0;
            continue;
        }
        if (c != '\n') {
            if (m_nRxPos < kMaxLineChars)
                m_szLine[m_nRxPos++] = c;
            continue;
        }
        const int chars = m_nRxPos;
        m_szLine[m_nRxPos] = 0;
        if (m_nRxPos < kMaxLineChars)
            ++m_nRxPos;
        // A line feed with nothing before it leaves its NUL in front of the buffer, so a
        // line that follows without its own "$" reads as empty.
        if (m_nRxPos < 2)
            continue;
        m_nLineLength = m_nRxPos;
        m_nRxPos = 0;
        sink.OnLine(m_szLine, chars, m_nLineLength);
    }
}
