// quelma-collect: gathers the results of several Quelma stations into one PostgreSQL
// database. Station folders are only read; each batch of a file is one transaction.
#include "collect/alerts.h"
#include "collect/cases.h"
#include "collect/config_file.h"
#include "collect/options.h"
#include "collect/schema.h"
#include "collect/station.h"

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitStationFailed = 1;
constexpr int kExitUsage = 2;

using Clock = std::chrono::steady_clock;

int Fatal(const std::string& message) {
    std::fprintf(stderr, "quelma-collect: %s\n", message.c_str());
    return kExitUsage;
}

void RequestStop(int) {
    g_stopRequested = true;
}

// One station's imports, each on a thread of its own with the station's own connections, so
// a station whose share hangs holds up no other. The thread may outlive a run's deadline; the
// next run then finds it still busy.
class StationWorker {
  public:
    StationWorker(const Station& station, const std::string& conninfo)
        : state_(std::make_shared<State>(station, conninfo)) {}

    // False when the previous import is still going.
    bool Start(bool bar) {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (state_->busy)
            return false;
        state_->busy = true;
        std::thread([state = state_, bar] { Run(*state, bar); }).detach();
        return true;
    }

    // The report when the import ended by `deadline`.
    bool Wait(Clock::time_point deadline, StationReport& report) {
        std::unique_lock<std::mutex> lock(state_->mutex);
        if (!state_->cv.wait_until(lock, deadline, [&] { return !state_->busy; }))
            return false;
        report = state_->report;
        return true;
    }

    bool Busy() {
        std::lock_guard<std::mutex> lock(state_->mutex);
        return state_->busy;
    }

  private:
    struct State {
        State(const Station& s, const std::string& c) : station(s), conninfo(c) {}
        Station station;
        std::string conninfo;
        std::unique_ptr<pg::Connection> db, photoDb;
        std::mutex mutex;
        std::condition_variable cv;
        bool busy = false;
        StationReport report;
    };

    static bool Connected(std::unique_ptr<pg::Connection>& db, const std::string& conninfo) {
        if (!db)
            db = std::make_unique<pg::Connection>(conninfo);
        return db->Ok() || db->Reset();
    }

    static void Run(State& s, bool bar) {
        StationReport report;
        Progress progress(bar);
        if (!Connected(s.db, s.conninfo))
            report.failed.push_back("no database connection: " + s.db->Error());
        else if (!Connected(s.photoDb, s.conninfo))
            report.failed.push_back("no database connection: " + s.photoDb->Error());
        else {
            try {
                report = ImportStation(*s.db, *s.photoDb, s.station, progress);
            } catch (const std::exception& e) {
                report.failed.push_back(e.what());
            } catch (...) {
                // Stopped: what was committed stays; the report waits for the next start.
            }
        }
        if (!g_stopRequested && s.db->Ok() && !StoreReport(*s.db, s.station.name, report) &&
            !report.Failed())
            report.failed.push_back("database refused the station's report: " + s.db->Error());
        std::lock_guard<std::mutex> lock(s.mutex);
        s.report = std::move(report);
        s.busy = false;
        s.cv.notify_all();
    }

    std::shared_ptr<State> state_;
};

// One pass over every station, side by side. In watch mode a station's line is printed
// again only when something came in or its line changed.
int RunOnce(std::vector<StationWorker>& workers, pg::Connection& db, Alerts& alerts,
            const Options& o, std::map<std::string, std::string>& shown) {
    const bool bar = !o.quiet && o.stations.size() == 1;
    std::vector<bool> started;
    for (StationWorker& w : workers)
        started.push_back(w.Start(bar));
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(o.deadlineSeconds);
    int status = kExitOk;
    for (size_t i = 0; i < workers.size(); ++i) {
        const Station& station = o.stations[i];
        StationReport report;
        if (!started[i])
            report.failed.push_back("the previous import is still going (is the folder's share "
                                    "answering?)");
        else if (!workers[i].Wait(deadline, report))
            report.failed.push_back("no end within " + std::to_string(o.deadlineSeconds) +
                                    " s (is the folder's share answering?); it goes on meanwhile");
        if (g_stopRequested)
            continue;
        if (report.Troubled())
            status = kExitStationFailed;
        const std::string text = report.Text(station.name);
        const bool changed = shown[station.name] != text;
        shown[station.name] = text;
        if (o.quiet ? report.Troubled() && changed : changed || report.Imported()) {
            std::printf("%s\n", text.c_str());
            std::fflush(stdout);
        }
    }
    if (g_stopRequested)
        return status;
    if (!db.Ok())
        db.Reset();
    bool alertTrouble = false;
    const std::string alertLines = alerts.AfterPass(db, alertTrouble);
    if (!alertLines.empty() && (!o.quiet || alertTrouble)) {
        std::printf("%s", alertLines.c_str());
        std::fflush(stdout);
    }
    return alertTrouble ? kExitStationFailed : status;
}

int ImportOneFile(pg::Connection& db, const Options& o) {
    Station station{o.importStation, "", "", {}};
    for (const Station& s : o.stations)
        if (s.name == o.importStation)
            station = s;
    const StationReport report = ImportFile(db, station, o.importPath);
    std::printf("%s\n", report.Text(station.name).c_str());
    return report.Troubled() ? kExitStationFailed : kExitOk;
}

// Ends the process; threads still waiting on a share are left to the system.
[[noreturn]] void Exit(int status, std::vector<StationWorker>& workers) {
    std::fflush(stdout);
    for (StationWorker& w : workers)
        if (w.Busy())
            std::_Exit(status);
    std::exit(status);
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    std::string error;
    StationText::UseUtcProcessWide();
    std::vector<std::string> args;
    if (!config_file::Arguments(argc, argv, args, error))
        return Fatal(error);
    if (!ParseOptions(args, o, error)) {
        std::fprintf(stderr, "quelma-collect: %s\n%s%s", error.c_str(), kUsage, kNotifyUsage);
        return kExitUsage;
    }
    if (o.help) {
        std::printf("%s%s", kUsage, kNotifyUsage);
        return kExitOk;
    }
    pg::Connection db(o.conninfo);
    if (!db.Ok())
        return Fatal("cannot connect to the database: " + db.Error());
    if (!schema::CheckEncoding(db, error))
        return Fatal(error);
    if (o.init ? !schema::Init(db, error) : !schema::CheckCurrent(db, error))
        return Fatal(o.init ? "cannot create the schema: " + error : error);
    if (!cases::StoreWindow(db, o.notify.confirmAfterMinutes, o.notify.confirmWithinMinutes, error))
        return Fatal("cannot keep the confirmation window: " + error);
    if (o.init) {
        if (!o.quiet)
            std::printf("schema quelma is at version %d\n", schema::Latest());
        return kExitOk;
    }
    for (const auto& [from, to] : o.renames) {
        if (!RenameStation(db, from, to, error))
            return Fatal(error);
        if (!o.quiet)
            std::printf("station %s is now called %s\n", from.c_str(), to.c_str());
    }
    if (!o.importPath.empty())
        return ImportOneFile(db, o);

    // A service manager stops the collector with SIGTERM: the batch under way commits or
    // rolls back, and the collector ends.
    struct sigaction stop {};
    stop.sa_handler = RequestStop;
    sigaction(SIGTERM, &stop, nullptr);
    sigaction(SIGINT, &stop, nullptr);

    std::vector<StationWorker> workers;
    for (const Station& s : o.stations)
        workers.emplace_back(s, o.conninfo);
    // Held by pointer so that it is ended (a send under way finishing first) before Exit,
    // which runs no destructors of main's objects.
    auto alerts = std::make_unique<Alerts>(o.conninfo, o.notify, o.watchSeconds > 0);
    std::map<std::string, std::string> shown;
    int status = RunOnce(workers, db, *alerts, o, shown);
    while (o.watchSeconds > 0 && !g_stopRequested) {
        const Clock::time_point next = Clock::now() + std::chrono::seconds(o.watchSeconds);
        while (Clock::now() < next && !g_stopRequested)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (!g_stopRequested)
            status = RunOnce(workers, db, *alerts, o, shown);
    }
    if (g_stopRequested) {
        // Give the batches under way their moment to commit or roll back.
        const Clock::time_point limit = Clock::now() + std::chrono::seconds(20);
        for (StationWorker& w : workers)
            while (w.Busy() && Clock::now() < limit)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        alerts.reset();
        Exit(kExitOk, workers);
    }
    alerts.reset();
    Exit(status, workers);
}
