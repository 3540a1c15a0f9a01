// What the simulated analyzer answers, and the small command language that changes it
// (from --script, the control file or FIFO, and the command line options).
#pragma once

#include <string>
#include <vector>

struct SimSettings {
    char unit = 'M';                          // 'B' %BAC, 'M' mg/l, 'G' g/l
    long total = 0;                           // the running test total after "T/"
    std::vector<std::string> values{"0.000"}; // results of the next measurements, cycled
    size_t nextValue = 0;
    std::string error; // "FLO", "TIM", ...: ends each measurement instead of RES
    std::string ini;   // sent as "$INI <text>" before "$WAI" when not empty
    int pauseMs = 600; // between the phases
    int noise = 0;     // random bytes before each line
    int split = 0;     // write each line in pieces of this many bytes
    int splitGapMs = 2;
};

// A request that the command language cannot carry out by itself.
struct SimAction {
    enum Kind { None, Send, Raw, Stamp, Unplug, Wait, Quit } kind = None;
    std::string text; // Send: the line without "$" and CR LF; Raw: the bytes
    int count = 0;    // Stamp: lines
    int ms = 0;       // Stamp: gap; Unplug: time unplugged; Wait: pause
};

// Applies one command line to `s`. Returns false with `error` set when it is not understood.
bool ApplyCommand(const std::string& line, SimSettings& s, SimAction& action, std::string& error);

// "\r", "\n", "\t", "\\", "\xHH" and "\$" in `text` turned into bytes.
std::string Unescape(const std::string& text);
// The other way round, for the log.
std::string Escape(const std::string& bytes);
