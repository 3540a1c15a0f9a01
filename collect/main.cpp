// quelma-collect: gathers the results of several Quelma stations into one PostgreSQL
// database. Station folders are only read; each file's batch is one transaction.
#include "collect/alerts.h"
#include "collect/cases.h"
#include "collect/options.h"
#include "collect/schema.h"
#include "collect/station.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <thread>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitStationFailed = 1;
constexpr int kExitUsage = 2;

int Fatal(const std::string& message) {
    std::fprintf(stderr, "quelma-collect: %s\n", message.c_str());
    return kExitUsage;
}

// One pass over every station. In watch mode a station's line is printed again only when
// something came in or its line changed.
int RunOnce(pg::Connection& db, pg::Connection& photoDb, const Options& o,
            std::map<std::string, std::string>& shown, Alerts& alerts) {
    Progress progress(!o.quiet);
    int status = kExitOk;
    for (const Station& station : o.stations) {
        StationReport report;
        if (!db.Ok() && !db.Reset())
            report.failure = "no database connection: " + db.Error();
        else if (!photoDb.Ok() && !photoDb.Reset())
            report.failure = "no database connection: " + photoDb.Error();
        else
            report = ImportStation(db, photoDb, station, progress);
        if (db.Ok() && !StoreReport(db, station.name, report) && report.failure.empty())
            report.failure = "database refused the station's report: " + db.Error();
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
    bool alertTrouble = false;
    const std::string alertLines = alerts.AfterPass(db, alertTrouble);
    if (!alertLines.empty() && (!o.quiet || alertTrouble)) {
        std::printf("%s", alertLines.c_str());
        std::fflush(stdout);
    }
    return alertTrouble ? kExitStationFailed : status;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    std::string error;
    if (!ParseOptions(std::vector<std::string>(argv + 1, argv + argc), o, error)) {
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
    if (o.init ? !schema::Init(db, error) : !schema::CheckCurrent(db, error))
        return Fatal(o.init ? "cannot create the schema: " + error : error);
    if (!cases::StoreWindow(db, o.notify.confirmAfterMinutes, o.notify.confirmWithinMinutes, error))
        return Fatal("cannot keep the confirmation window: " + error);
    if (o.init) {
        if (!o.quiet)
            std::printf("schema quelma is at version %d\n", schema::Latest());
        return kExitOk;
    }

    pg::Connection photoDb(o.conninfo);
    if (!photoDb.Ok())
        return Fatal("cannot connect to the database: " + photoDb.Error());

    Alerts alerts(o.conninfo, o.notify, o.watchSeconds > 0);
    std::map<std::string, std::string> shown;
    int status = RunOnce(db, photoDb, o, shown, alerts);
    while (o.watchSeconds > 0) {
        std::this_thread::sleep_for(std::chrono::seconds(o.watchSeconds));
        status = RunOnce(db, photoDb, o, shown, alerts);
    }
    return status;
}
