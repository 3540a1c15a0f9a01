// Drives many measurements through the real program from one process inside Wine, for the
// soak test (tests/e2e/soak_measurements.sh). Starting a driver per click costs a third of
// a second under Wine; this one stays and posts messages in a loop.
//
//   soak_driver run DIR FROM COUNT SWITCH   measurements FROM .. FROM+COUNT-1
//   soak_driver stats                        handle, GDI, USER and memory figures of quelma.exe
//   soak_driver dump CAPTION ID FILE         every cell of a report list, tab-separated rows
//
// DIR (a Windows path) holds sim\control and sim\log of the analyzer simulator, cards\ of the
// stand-in reader, and expected.tsv, to which `run` appends one line per record it expects.
// Measurement i is a pure function of i, so a run can be cut into several invocations. From
// SWITCH on the Setting dialog has been confirmed once: Normal mode, thresholds 0.050/0.100,
// camera off; before it the configuration's Fast mode, 0.030/0.080 and camera on hold.
#define PSAPI_VERSION 2
#include "remote_list.h"
#include "sim_commands.h" // Unescape: reads back what the simulator logs

#include <windows.h>
#include <psapi.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr int kTimeoutMs = 15000;

// Members of the test configuration; the first four also have cards card0..card3. The last
// two fill the ID (9) and Name (19) fields to the brim.
struct Member {
    const char* id;
    const char* name;
};
constexpr Member kMembers[] = {
    {"C100", "Card Zero"},
    {"C101", "Card One"},
    {"C102", "Card Two"},
    {"C103", "Card Three"},
    {"T200", "Typed A"},
    {"T201", "Typed B"},
    {"T202", "Typed C"},
    {"T203", "Typed D"},
    {"P300", "Picked"},
    {"p300", "picked"},
    {"ID9CHARSX", "A name of 19 chars"},
    {"Z9", "Nineteen chars here"},
};
constexpr int kMemberCount = sizeof kMembers / sizeof kMembers[0];
constexpr int kCardCount = 4;
constexpr const char* kErrors[] = {"FLO", "TIM", "SEN", "CAL", "BAT"};

enum class How { Typed, Picked, Card };

struct Plan {
    How how = How::Typed;
    int member = 0;
    char unit = 'M';
    std::string value; // empty for an error measurement
    const char* error = nullptr;
    int noise = 0;
    int split = 0;
};

struct Phase {
    int mode; // 0 Fast, 1 Normal
    float low, hi;
    int photo;
};

Phase PhaseOf(int i, int switchAt) {
    if (i < switchAt)
        return {0, 0.030f, 0.080f, 1};
    return {1, 0.050f, 0.100f, 0};
}

uint64_t Mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

std::string Fixed3(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", v);
    return text;
}

// `previous` is the subject of measurement i - 1: a card only identifies a subject whose
// ID differs from the last one.
Plan MakePlan(int i, int switchAt, int previous) {
    uint64_t r = Mix(static_cast<uint64_t>(i) * 7919u + 17u);
    auto take = [&r](int n) {
        const int v = static_cast<int>(r % static_cast<uint64_t>(n));
        r /= static_cast<uint64_t>(n);
        return v;
    };
    Plan p;
    const int how = take(8);
    p.how = how < 5 ? How::Typed : how < 6 ? How::Picked : How::Card;
    p.member = take(kMemberCount);
    if (p.how == How::Card) {
        p.member = take(kCardCount);
        if (p.member == previous)
            p.member = (p.member + 1) % kCardCount;
    }
    p.unit = "BMG"[take(3)];
    const Phase phase = PhaseOf(i, switchAt);
    const double low = phase.low, hi = phase.hi;
    const std::string values[] = {Fixed3(0),
                                  Fixed3(low - 0.001),
                                  Fixed3(low),
                                  Fixed3(low + 0.001),
                                  Fixed3(hi - 0.001),
                                  Fixed3(hi),
                                  Fixed3(hi + 0.001),
                                  "0.5",
                                  "1.234"};
    p.value = values[take(9)];
    if (take(10) == 0) {
        p.error = kErrors[take(5)];
        p.value.clear();
    }
    p.noise = take(4) == 3 ? 5 : take(2) * 2;
    p.split = take(5) == 0 ? 4 : 0;
    return p;
}

int Classify(float value, float low, float hi) {
    if (value < low)
        return 0;
    return value < hi ? 1 : 2;
}

// --- windows of the program ---

std::string TextOf(HWND hwnd) {
    char text[512] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

struct Search {
    std::string caption;
    bool exact;
    HWND found;
};

HWND FindTop(const std::string& caption, bool exact) {
    Search search{caption, exact, nullptr};
    EnumWindows(
        [](HWND hwnd, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            const std::string text = TextOf(hwnd);
            const bool match =
                s->exact ? text == s->caption : text.find(s->caption) != std::string::npos;
            if (!match || !IsWindowVisible(hwnd))
                return TRUE;
            s->found = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindMessageBox(const char* text) {
    for (HWND box = FindWindowExA(nullptr, nullptr, "#32770", nullptr); box;
         box = FindWindowExA(nullptr, box, "#32770", nullptr)) {
        HWND label = GetDlgItem(box, 0xFFFF);
        if (label && IsWindowVisible(box) && TextOf(label).find(text) != std::string::npos)
            return box;
    }
    return nullptr;
}

[[noreturn]] void Die(const std::string& what) {
    std::fprintf(stderr, "soak_driver: %s\n", what.c_str());
    std::fflush(stderr);
    std::exit(1);
}

// Polls every few milliseconds: each look is a message to the program or a file read, and
// the program needs the processor more than the driver does.
template <typename F> void WaitUntil(F done, const std::string& what) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > static_cast<DWORD>(kTimeoutMs))
            Die("timed out waiting for " + what);
        Sleep(3);
    }
}

HWND WaitTop(const std::string& caption, bool exact) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindTop(caption, exact)) != nullptr; }, "window " + caption);
    return found;
}

std::string EditText(HWND edit) {
    char text[256] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(edit, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 5000, &copied);
    return text;
}

bool Checked(HWND box) {
    return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void WriteFileText(const std::string& path, const std::string& text, bool append) {
    FILE* f = std::fopen(path.c_str(), append ? "ab" : "wb");
    if (!f)
        Die("cannot write " + path);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

// --- the simulator's log: what it was told, received and sent ---

class SimLog {
  public:
    explicit SimLog(std::string path) : path_(std::move(path)) {}
    ~SimLog() {
        if (file_ != INVALID_HANDLE_VALUE)
            CloseHandle(file_);
    }
    SimLog(const SimLog&) = delete;
    SimLog& operator=(const SimLog&) = delete;

    // From the marker command on: did the program answer the unit line with its mode
    // command, and has the simulator sent this measurement's "END" line (perhaps in pieces)?
    void Expect(const std::string& marker) {
        marker_ = "# " + marker;
        seenMarker_ = sawMode_ = sawEnd_ = false;
        sent_.clear();
    }
    bool MarkerSeen() {
        Poll();
        return seenMarker_;
    }
    bool Finished() {
        Poll();
        return sawMode_ && sawEnd_;
    }

  private:
    void Poll() {
        if (file_ == INVALID_HANDLE_VALUE) {
            file_ = CreateFileA(path_.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file_ == INVALID_HANDLE_VALUE)
                return;
        }
        char buffer[65536];
        DWORD n = 0;
        while (ReadFile(file_, buffer, sizeof buffer, &n, nullptr) && n > 0)
            partial_.append(buffer, n);
        size_t eol;
        while ((eol = partial_.find('\n')) != std::string::npos) {
            Line(partial_.substr(0, eol));
            partial_.erase(0, eol + 1);
        }
    }
    void Line(const std::string& line) {
        // "<seconds> <direction> <escaped bytes>"
        const size_t a = line.find(' ', line.find_first_not_of(' '));
        if (a == std::string::npos || a + 2 > line.size())
            return;
        const char direction = line[a + 1];
        const std::string rest = a + 3 <= line.size() ? line.substr(a + 3) : "";
        if (!seenMarker_) {
            seenMarker_ = direction == '#' && ("# " + rest) == marker_;
            return;
        }
        if (direction == '<' &&
            (rest.find("$FAST") != std::string::npos || rest.find("$START") != std::string::npos))
            sawMode_ = true;
        if (direction == '>') {
            sent_ += Unescape(rest);
            if (sent_.find("$END\r\n") != std::string::npos)
                sawEnd_ = true;
        }
    }

    std::string path_;
    HANDLE file_ = INVALID_HANDLE_VALUE; // read on from where the last look ended
    std::string partial_;
    std::string marker_;
    bool seenMarker_ = false, sawMode_ = false, sawEnd_ = false;
    std::string sent_;
};

// --- the measurements ---

class Soak {
  public:
    Soak(const std::string& dir, int switchAt)
        : dir_(dir), switchAt_(switchAt), log_(dir + "\\sim\\log") {}

    void Run(int from, int count);

  private:
    HWND Item(int id) const { return GetDlgItem(measure_, id); }
    void Identify(int i, const Plan& p);
    void PickMember(int member);
    void UseCard(int member);
    void SwitchToNormal();
    void Expect(int i, const Plan& p, time_t started);

    std::string dir_;
    int switchAt_;
    SimLog log_;
    HWND main_ = nullptr;
    HWND measure_ = nullptr;
    int stored_ = 0;    // records in the list
    int lastLevel_ = 0; // Normal-mode records keep the level of the last Fast one
    bool trace_ = std::getenv("SOAK_TRACE") != nullptr; // times of each step, per measurement
};

void Soak::Identify(int i, const Plan& p) {
    const Member& m = kMembers[p.member];
    switch (p.how) {
    case How::Typed:
        SendMessageA(Item(1003), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(m.id));
        SendMessageA(Item(1004), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(m.name));
        return;
    case How::Picked:
        PickMember(p.member);
        break;
    case How::Card:
        UseCard(p.member);
        break;
    }
    // The dialog fills the edits once the picker has closed or the card was read.
    WaitUntil([&] { return EditText(Item(1003)) == m.id && EditText(Item(1004)) == m.name; },
              "measurement " + std::to_string(i) + ": subject " + m.id + "/" + m.name +
                  " in the edits");
}

void Soak::PickMember(int member) {
    PostMessageA(Item(1005), BM_CLICK, 0, 0);
    HWND select = WaitTop("Select", true);
    HWND list = GetDlgItem(select, 1000);
    RemoteListAccess rows(list);
    if (!rows.Ok())
        Die("no access to the Select list");
    WaitUntil([&] { return rows.Count() == kMemberCount; }, "the member rows");
    rows.Select(member);
    WaitUntil([&] { return !IsWindow(select) || !IsWindowVisible(select); },
              "the Select dialog to close");
}

void Soak::UseCard(int member) {
    const std::string reader = dir_ + "\\cards\\reader.txt";
    WriteFileText(reader, "card=card" + std::to_string(member) + "\n", false);
    WaitUntil([&] { return EditText(Item(1003)) == kMembers[member].id; }, "the card to be read");
    WriteFileText(reader, "", false); // taken off again before the start
}

void Soak::SwitchToNormal() {
    PostMessageA(main_, WM_COMMAND, 32776, 0);
    HWND setting = WaitTop("Setting", true);
    SendMessageA(GetDlgItem(setting, 1003), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("0.050"));
    SendMessageA(GetDlgItem(setting, 1004), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("0.100"));
    HWND camera = GetDlgItem(setting, 1008);
    if (Checked(camera))
        SendMessageA(camera, BM_CLICK, 0, 0);
    PostMessageA(GetDlgItem(setting, IDOK), BM_CLICK, 0, 0);
    HWND box = nullptr;
    WaitUntil([&] { return (box = FindMessageBox("Setting save O.K")) != nullptr; },
              "Setting save O.K");
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    WaitUntil([&] { return !FindMessageBox("Setting save O.K"); }, "the message to close");
    PostMessageA(setting, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    WaitUntil([&] { return !IsWindow(setting) || !IsWindowVisible(setting); },
              "the Setting dialog to close");
    WaitUntil([&] { return TextOf(Item(1013)) == "Normal"; }, "Normal on the Measure dialog");
}

void Soak::Expect(int i, const Plan& p, time_t started) {
    const Phase phase = PhaseOf(i, switchAt_);
    const float value = static_cast<float>(std::strtod(p.value.c_str(), nullptr));
    if (phase.mode == 0)
        lastLevel_ = Classify(value, phase.low, phase.hi);
    char line[256];
    std::snprintf(line, sizeof line, "%d\t%s\t%s\t%d\t%d\t%d\t%.3f\t%.3f\t%s\t%d\t%lld\t%lld\n",
                  stored_, kMembers[p.member].id, kMembers[p.member].name, phase.mode, lastLevel_,
                  p.unit == 'B'   ? 0
                  : p.unit == 'M' ? 1
                                  : 2,
                  static_cast<double>(phase.low), static_cast<double>(phase.hi), p.value.c_str(),
                  phase.photo, static_cast<long long>(started),
                  static_cast<long long>(std::time(nullptr)));
    WriteFileText(dir_ + "\\expected.tsv", line, true);
}

void Soak::Run(int from, int count) {
    main_ = WaitTop("- Quelma", false);
    measure_ = WaitTop("Measure", true);
    RemoteListAccess list(Item(1000));
    stored_ = list.Count();
    // The level a Normal-mode record carries comes from the run so far.
    int previous = -1;
    for (int i = 0; i < from; ++i) {
        const Plan p = MakePlan(i, switchAt_, previous);
        previous = p.member;
        const Phase phase = PhaseOf(i, switchAt_);
        if (!p.error && phase.mode == 0)
            lastLevel_ = Classify(static_cast<float>(std::strtod(p.value.c_str(), nullptr)),
                                  phase.low, phase.hi);
    }
    const std::string control = dir_ + "\\sim\\control";
    // The simulator takes the next measurement's commands while the program still finishes
    // the last one; the marker tells when it has them.
    auto prepare = [&](int i, const Plan& p) {
        const std::string marker = "ini m" + std::to_string(i);
        std::string commands = std::string("unit ") + p.unit + "\n";
        commands += "value " + (p.value.empty() ? std::string("0") : p.value) + "\n";
        commands += std::string("error ") + (p.error ? p.error : "none") + "\n";
        commands +=
            "noise " + std::to_string(p.noise) + "\nsplit " + std::to_string(p.split) + " 1\n";
        log_.Expect(marker);
        WriteFileText(control, commands + marker + "\n", true);
    };
    Plan p = MakePlan(from, switchAt_, previous);
    prepare(from, p);
    const DWORD begin = GetTickCount();
    for (int i = from; i < from + count; ++i) {
        const DWORD lapStart = GetTickCount();
        if (i == switchAt_)
            SwitchToNormal();
        WaitUntil([&] { return log_.MarkerSeen(); },
                  "the simulator to take measurement " + std::to_string(i));
        const DWORD synced = GetTickCount();
        Identify(i, p);
        const DWORD identified = GetTickCount();
        const time_t started = std::time(nullptr);
        PostMessageA(Item(1006), BM_CLICK, 0, 0);
        WaitUntil([&] { return log_.Finished(); },
                  "measurement " + std::to_string(i) + " at the simulator");
        const DWORD sent = GetTickCount();
        const Plan current = p;
        if (i + 1 < from + count) {
            p = MakePlan(i + 1, switchAt_, current.member);
            prepare(i + 1, p);
        }
        // The program has answered the unit line ("Ready" marked); its END clears the box.
        WaitUntil([&] { return !Checked(Item(1008)); },
                  "measurement " + std::to_string(i) + " to end");
        if (trace_)
            std::printf("m%d how=%d sync=%lu identify=%lu simulator=%lu program=%lu\n", i,
                        static_cast<int>(current.how), synced - lapStart, identified - synced,
                        sent - identified, GetTickCount() - sent);
        if (TextOf(Item(1030)) != "Ready")
            Die("measurement " + std::to_string(i) + ": status " + TextOf(Item(1030)) +
                " after END");
        if (!current.error) {
            Expect(i, current, started);
            ++stored_;
        }
        if (list.Count() != stored_)
            Die("measurement " + std::to_string(i) + ": " + std::to_string(list.Count()) +
                " rows, expected " + std::to_string(stored_));
        if ((i + 1) % 250 == 0) {
            std::printf("soak: %d measurements, %d records, %.1f s\n", i + 1, stored_,
                        (GetTickCount() - begin) / 1000.0);
            std::fflush(stdout);
        }
    }
}

// --- figures and lists ---

struct ProcessWindows {
    DWORD pid;
    int count;
};

BOOL CALLBACK CountChildWindow(HWND, LPARAM lp) {
    ++reinterpret_cast<ProcessWindows*>(lp)->count;
    return TRUE;
}

// Counts a top-level window of the process with all its descendants.
BOOL CALLBACK CountTopWindow(HWND top, LPARAM lp) {
    auto* w = reinterpret_cast<ProcessWindows*>(lp);
    DWORD owner = 0;
    GetWindowThreadProcessId(top, &owner);
    if (owner != w->pid)
        return TRUE;
    ++w->count;
    EnumChildWindows(top, CountChildWindow, lp);
    return TRUE;
}

int Stats() {
    HWND main = FindTop("- Quelma", false);
    if (!main)
        Die("no main window");
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process)
        Die("cannot open the program's process");
    // Wine answers some of these with 0 or a failure: those are shown as n/a.
    DWORD handles = 0;
    if (!GetProcessHandleCount(process, &handles))
        handles = 0;
    const DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS);
    const DWORD user = GetGuiResources(process, GR_USEROBJECTS);
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                         sizeof memory);
    CloseHandle(process);
    // Wine has no GDI or USER count of another process; its windows stand in for USER
    // objects, which a leaked dialog or control would add to.
    ProcessWindows windows{pid, 0};
    EnumWindows(CountTopWindow, reinterpret_cast<LPARAM>(&windows));
    auto figure = [](unsigned long long v) { return v ? std::to_string(v) : std::string("n/a"); };
    std::printf("handles=%s gdi=%s user=%s windows=%d private_kb=%s working_set_kb=%s\n",
                figure(handles).c_str(), figure(gdi).c_str(), figure(user).c_str(), windows.count,
                figure(memory.PrivateUsage / 1024).c_str(),
                figure(memory.WorkingSetSize / 1024).c_str());
    return 0;
}

int Dump(const std::string& caption, int id, const std::string& path) {
    HWND window = FindTop(caption, caption != "Measure" ? false : true);
    HWND list = window ? GetDlgItem(window, id) : nullptr;
    if (!list)
        Die("no list " + caption);
    RemoteListAccess rows(list);
    if (!rows.Ok())
        Die("no access to the list of " + caption);
    const HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    const int columns = static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
    std::string out;
    for (int row = 0, n = rows.Count(); row < n; ++row) {
        for (int column = 0; column < columns; ++column) {
            if (column)
                out += '\t';
            out += rows.Text(row, column);
        }
        out += '\n';
    }
    WriteFileText(path, out, false);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string action = argc > 1 ? argv[1] : "";
    if (action == "run" && argc == 6) {
        Soak soak(argv[2], std::atoi(argv[5]));
        soak.Run(std::atoi(argv[3]), std::atoi(argv[4]));
        return 0;
    }
    if (action == "stats")
        return Stats();
    if (action == "dump" && argc == 5)
        return Dump(argv[2], std::atoi(argv[3]), argv[4]);
    std::fprintf(stderr, "soak_driver: usage: see the comment at the top of soak_driver.cpp\n");
    return 2;
}
