// Cuts the analyzer's byte stream into lines: "$" starts a line, a line feed ends it.
#pragma once

#include <cstddef>

constexpr int kLineBufferSize = 256;
constexpr int kMaxLineChars = kLineBufferSize - 1;

// One completed line as the receiver gets it. `text` holds `chars` bytes followed by a NUL;
// `length` is the channel's line length (characters + 1, but 255 for a full line).
struct ReceivedLine {
    char text[kLineBufferSize];
    int chars;
    int length;
};

class LineSink {
  public:
    virtual ~LineSink() = default;
    virtual void OnLine(const char* text, int chars, int length) = 0;
};

class LineAssembler {
  public:
    // Feeds raw bytes; each completed line goes to `sink` at once, before the next byte is
    // looked at, so the sink must copy the text if it keeps it.
    void Feed(const char* data, size_t count, LineSink& sink);
    void Reset();

    const char* Line() const { return m_szLine; }
    int LineLength() const { return m_nLineLength; }
    int Position() const { return m_nRxPos; }

  private:
    int m_nRxPos = 0;
    int m_nLineLength = 0;
    char m_szLine[kLineBufferSize] = {};
};
