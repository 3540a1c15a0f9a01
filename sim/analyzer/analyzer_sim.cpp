// quelma-analyzer-sim: plays the alcohol analyzer on a pseudo-terminal. See README.md.
#include "sim_commands.h"
#include "sim_pty.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <random>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

volatile sig_atomic_t g_stop = 0;
void OnSignal(int) {
    g_stop = 1;
}

constexpr const char* kUsage =
    "usage: quelma-analyzer-sim [options]\n"
    "  --link PATH      link PATH to the pty (e.g. $WINEPREFIX/dosdevices/com3)\n"
    "  --ready PATH     write the pty's name to PATH once it is linked\n"
    "  --log PATH       log received (<) and sent (>) bytes\n"
    "  --control PATH   read commands from a FIFO (made if missing) or a file being appended\n"
    "  --script PATH    run the commands of a file at start\n"
    "  --unit B|M|G  --total N  --value X[,X...]  --error TOKEN  --ini TEXT\n"
    "  --pause MS  --noise N  --split N  --split-gap MS   (see README.md)\n"
    "  --lifetime S     end after S seconds (0: run until a signal or \"quit\")\n";

struct Options {
    std::string link, ready, log, control, script;
    int lifetimeS = 0;
};

struct Output {
    std::string bytes;
    bool stamp = false; // the line carries its own send time, made when it is written
};

class Simulator {
  public:
    Simulator(const Options& o, const SimSettings& s) : m_opt(o), m_set(s), m_rng(4711) {}
    int Run();

  private:
    bool Plug();
    void Unplug(int ms);
    void PollControl();
    void RunCommands();
    void Execute(const std::string& command) { m_commands.push_back(command); }
    void Received(const std::string& line);
    void StartMeasurement(bool fast);
    void QueueLine(const std::string& text, Clock::time_point at);
    void QueueBytes(const std::string& bytes, Clock::time_point at, bool stamp = false);
    void Flush();
    void Log(const char* direction, const std::string& bytes);
    std::string Noise();
    Clock::time_point NextWake() const;

    Options m_opt;
    SimSettings m_set;
    SimPty m_pty;
    std::mt19937 m_rng;
    FILE* m_log = nullptr;
    Clock::time_point m_start = Clock::now();
    std::multimap<Clock::time_point, Output> m_schedule;
    Clock::time_point m_lastDue{};
    std::string m_pending; // bytes due but not yet taken by the pty
    std::string m_input;
    std::deque<std::string> m_commands; // from the script and the control, in order
    Clock::time_point m_commandsWaitUntil{};
    int m_controlFd = -1;
    bool m_controlIsFile = false;
    off_t m_controlOffset = 0;
    std::string m_controlPartial;
    bool m_replugPending = false;
    Clock::time_point m_replugAt{};
    bool m_quit = false;
};

std::string Trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n'))
        s.pop_back();
    return s;
}

bool Simulator::Plug() {
    std::string error;
    if (!m_pty.Open(error)) {
        std::fprintf(stderr, "analyzer-sim: %s\n", error.c_str());
        return false;
    }
    if (!m_opt.link.empty() && !m_pty.Link(m_opt.link, error)) {
        std::fprintf(stderr, "analyzer-sim: %s\n", error.c_str());
        return false;
    }
    if (!m_opt.ready.empty()) {
        const std::string temp = m_opt.ready + ".tmp";
        std::ofstream(temp) << m_pty.SlaveName() << "\n";
        std::rename(temp.c_str(), m_opt.ready.c_str());
    }
    std::printf("analyzer-sim: %s%s%s\n", m_pty.SlaveName().c_str(),
                m_opt.link.empty() ? "" : " linked as ", m_opt.link.c_str());
    std::fflush(stdout);
    return true;
}

void Simulator::Unplug(int ms) {
    Log("-", "unplugged");
    if (!m_opt.link.empty())
        m_pty.Unlink(m_opt.link);
    m_pty.Close();
    m_pending.clear();
    m_input.clear();
    m_replugPending = true;
    m_replugAt = Clock::now() + milliseconds(ms);
}

void Simulator::Log(const char* direction, const std::string& bytes) {
    if (!m_log)
        return;
    const double t = std::chrono::duration<double>(Clock::now() - m_start).count();
    std::fprintf(m_log, "%10.3f %s %s\n", t, direction, Escape(bytes).c_str());
    std::fflush(m_log);
}

std::string Simulator::Noise() {
    std::string out;
    std::uniform_int_distribution<int> byte(0, 255);
    while (static_cast<int>(out.size()) < m_set.noise) {
        const char c = static_cast<char>(byte(m_rng));
        if (c != '$' && c != '\n')
            out += c;
    }
    return out;
}

void Simulator::QueueBytes(const std::string& bytes, Clock::time_point at, bool stamp) {
    // Later lines never overtake earlier ones, whatever their pauses.
    at = std::max(at, m_lastDue);
    m_lastDue = at;
    m_schedule.emplace(at, Output{bytes, stamp});
}

void Simulator::QueueLine(const std::string& text, Clock::time_point at) {
    const std::string bytes = Noise() + "$" + text + "\r\n";
    if (m_set.split <= 0) {
        QueueBytes(bytes, at);
        return;
    }
    for (size_t pos = 0; pos < bytes.size(); pos += static_cast<size_t>(m_set.split)) {
        QueueBytes(bytes.substr(pos, static_cast<size_t>(m_set.split)), at);
        at += milliseconds(m_set.splitGapMs);
    }
}

void Simulator::StartMeasurement(bool fast) {
    const milliseconds pause(m_set.pauseMs);
    Clock::time_point t = Clock::now() + pause / 4;
    if (!m_set.ini.empty())
        QueueLine("INI " + m_set.ini, t);
    QueueLine("WAI", t);
    QueueLine(fast ? "TRI" : "STA", t += pause);
    if (!m_set.error.empty()) {
        QueueLine(m_set.error, t += pause * 2);
    } else {
        QueueLine("BRE", t += pause * 2);
        const std::string& value = m_set.values[m_set.nextValue++ % m_set.values.size()];
        QueueLine("RES    " + value, t += pause * 2);
        ++m_set.total;
    }
    QueueLine("END", t += pause / 2);
}

void Simulator::Received(const std::string& line) {
    Log("<", line);
    const std::string command = Trimmed(line);
    if (command == "$RECALL") {
        const std::string unit = std::string("U/") + m_set.unit;
        QueueLine(unit + " T/" + std::to_string(m_set.total),
                  Clock::now() + milliseconds(m_set.pauseMs / 4));
    } else if (command == "$FAST" || command == "$START") {
        StartMeasurement(command == "$FAST");
    }
}

void Simulator::RunCommands() {
    while (!m_commands.empty() && Clock::now() >= m_commandsWaitUntil) {
        const std::string command = m_commands.front();
        m_commands.pop_front();
        SimAction action;
        std::string error;
        if (!ApplyCommand(command, m_set, action, error)) {
            std::fprintf(stderr, "analyzer-sim: %s\n", error.c_str());
            continue;
        }
        if (!command.empty())
            Log("#", command);
        const auto now = Clock::now();
        switch (action.kind) {
        case SimAction::Send:
            QueueLine(action.text, now);
            break;
        case SimAction::Raw:
            QueueBytes(action.text, now);
            break;
        case SimAction::Stamp:
            for (int i = 0; i < action.count; ++i)
                QueueBytes("", now + milliseconds(static_cast<long>(action.ms) * i), true);
            break;
        case SimAction::Unplug:
            Unplug(action.ms);
            break;
        case SimAction::Wait:
            m_commandsWaitUntil = now + milliseconds(action.ms);
            break;
        case SimAction::Quit:
            m_quit = true;
            break;
        case SimAction::None:
            break;
        }
    }
}

void Simulator::PollControl() {
    if (m_controlFd < 0)
        return;
    char buffer[4096];
    if (m_controlIsFile) {
        struct stat st {};
        if (fstat(m_controlFd, &st) != 0)
            return;
        if (st.st_size < m_controlOffset) { // the file was rewritten: start again
            m_controlOffset = 0;
            m_controlPartial.clear();
        }
        if (st.st_size == m_controlOffset)
            return;
    }
    for (;;) {
        const ssize_t n = m_controlIsFile
                              ? pread(m_controlFd, buffer, sizeof buffer, m_controlOffset)
                              : read(m_controlFd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        m_controlOffset += n;
        m_controlPartial.append(buffer, static_cast<size_t>(n));
    }
    size_t newline;
    while ((newline = m_controlPartial.find('\n')) != std::string::npos) {
        Execute(m_controlPartial.substr(0, newline));
        m_controlPartial.erase(0, newline + 1);
    }
}

void Simulator::Flush() {
    const auto now = Clock::now();
    while (!m_schedule.empty() && m_schedule.begin()->first <= now) {
        Output out = m_schedule.begin()->second;
        m_schedule.erase(m_schedule.begin());
        if (!m_pty.IsOpen())
            continue; // unplugged: the bytes are lost, as on a real cable
        if (out.stamp) {
            const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                std::chrono::system_clock::now().time_since_epoch());
            out.bytes = Noise() + "$INI " + std::to_string(us.count()) + "\r\n";
        }
        Log(">", out.bytes);
        m_pending += out.bytes;
    }
    if (m_pending.empty() || !m_pty.IsOpen())
        return;
    const ssize_t n = write(m_pty.Master(), m_pending.data(), m_pending.size());
    if (n > 0)
        m_pending.erase(0, static_cast<size_t>(n));
}

Clock::time_point Simulator::NextWake() const {
    auto wake = Clock::now() + milliseconds(m_controlIsFile ? 20 : 500);
    if (!m_schedule.empty())
        wake = std::min(wake, m_schedule.begin()->first);
    if (!m_commands.empty())
        wake = std::min(wake, m_commandsWaitUntil);
    if (m_replugPending)
        wake = std::min(wake, m_replugAt);
    return wake;
}

int Simulator::Run() {
    if (!m_opt.log.empty()) {
        m_log = std::fopen(m_opt.log.c_str(), "a");
        if (!m_log)
            std::fprintf(stderr, "analyzer-sim: cannot write %s\n", m_opt.log.c_str());
    }
    if (!m_opt.control.empty()) {
        struct stat st {};
        if (stat(m_opt.control.c_str(), &st) != 0 && mkfifo(m_opt.control.c_str(), 0600) != 0) {
            std::fprintf(stderr, "analyzer-sim: cannot make %s\n", m_opt.control.c_str());
            return 2;
        }
        m_controlIsFile = stat(m_opt.control.c_str(), &st) == 0 && S_ISREG(st.st_mode);
        // Read-write, so the FIFO never reads as ended between two writers.
        m_controlFd =
            open(m_opt.control.c_str(), (m_controlIsFile ? O_RDONLY : O_RDWR) | O_NONBLOCK);
        if (m_controlFd < 0) {
            std::fprintf(stderr, "analyzer-sim: cannot open %s\n", m_opt.control.c_str());
            return 2;
        }
    }
    if (!m_opt.script.empty()) {
        std::ifstream in(m_opt.script);
        if (!in) {
            std::fprintf(stderr, "analyzer-sim: cannot read %s\n", m_opt.script.c_str());
            return 2;
        }
        for (std::string line; std::getline(in, line);)
            Execute(line);
    }
    if (!Plug())
        return 1;

    const auto end = Clock::now() + std::chrono::seconds(m_opt.lifetimeS);
    while (!g_stop && !m_quit && (m_opt.lifetimeS == 0 || Clock::now() < end)) {
        if (m_replugPending && Clock::now() >= m_replugAt) {
            m_replugPending = false;
            if (!Plug())
                return 1;
            Log("-", "plugged in");
        }
        PollControl();
        RunCommands();
        Flush();

        pollfd fds[2] = {};
        int count = 0;
        if (m_pty.IsOpen()) {
            fds[count].fd = m_pty.Master();
            fds[count].events = POLLIN | (m_pending.empty() ? 0 : POLLOUT);
            ++count;
        }
        if (m_controlFd >= 0 && !m_controlIsFile) {
            fds[count].fd = m_controlFd;
            fds[count].events = POLLIN;
            ++count;
        }
        const auto wait = std::chrono::duration_cast<milliseconds>(NextWake() - Clock::now());
        if (poll(fds, static_cast<nfds_t>(count),
                 static_cast<int>(std::max<long>(0, wait.count()))) <= 0)
            continue;
        if (m_pty.IsOpen() && (fds[0].revents & POLLIN)) {
            char buffer[512];
            const ssize_t n = read(m_pty.Master(), buffer, sizeof buffer);
            if (n > 0) {
                m_input.append(buffer, static_cast<size_t>(n));
                size_t newline;
                while ((newline = m_input.find('\n')) != std::string::npos) {
                    Received(m_input.substr(0, newline + 1));
                    m_input.erase(0, newline + 1);
                }
                if (m_input.size() > 4096)
                    m_input.clear(); // a line feed that never comes
            }
        }
    }
    Flush(); // what "quit" came after still goes out
    if (!m_opt.link.empty())
        m_pty.Unlink(m_opt.link);
    if (m_log)
        std::fclose(m_log);
    return 0;
}

bool NeedsValue(int i, int argc, const char* option) {
    if (i + 1 < argc)
        return true;
    std::fprintf(stderr, "analyzer-sim: %s needs a value\n%s", option, kUsage);
    return false;
}

} // namespace

int main(int argc, char** argv) {
    Options opt;
    SimSettings settings;
    std::deque<std::string> commands;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg.rfind("--", 0) != 0 || !NeedsValue(i, argc, argv[i])) {
            std::fputs(kUsage, stderr);
            return 2;
        }
        const std::string value = argv[++i];
        if (arg == "--link")
            opt.link = value;
        else if (arg == "--ready")
            opt.ready = value;
        else if (arg == "--log")
            opt.log = value;
        else if (arg == "--control")
            opt.control = value;
        else if (arg == "--script")
            opt.script = value;
        else if (arg == "--lifetime")
            opt.lifetimeS = std::atoi(value.c_str());
        else
            commands.push_back(arg.substr(2) + " " + value); // --unit M is "unit M", ...
    }
    // Options apply before the script, in their order.
    for (const std::string& c : commands) {
        SimAction action;
        std::string error;
        if (!ApplyCommand(c, settings, action, error) || action.kind != SimAction::None) {
            std::fprintf(stderr, "analyzer-sim: bad option: %s\n%s", c.c_str(), kUsage);
            return 2;
        }
    }
    signal(SIGINT, OnSignal);
    signal(SIGTERM, OnSignal);
    signal(SIGHUP, OnSignal);
    signal(SIGPIPE, SIG_IGN);
    Simulator sim(opt, settings);
    return sim.Run();
}
