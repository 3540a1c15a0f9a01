#include "collect/alerts.h"

#include "collect/alert_message.h"
#include "collect/cases.h"
#include "collect/rows.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <ctime>

namespace {

// The pause after the n-th failure doubles from this, up to kMaxPauseSeconds.
constexpr int kFirstPauseSeconds = 2;
constexpr int kMaxPauseSeconds = 300;
constexpr long kConnectTimeoutSeconds = 10;
constexpr long kSendTimeoutSeconds = 30;
// How often the sender thread looks for alerts whose pause is over.
constexpr auto kPoll = std::chrono::seconds(1);

struct CurlFree {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct ListFree {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using CurlList = std::unique_ptr<curl_slist, ListFree>;

void Append(CurlList& list, const std::string& text) {
    curl_slist* grown = curl_slist_append(list.get(), text.c_str());
    if (grown) {
        list.release();
        list.reset(grown);
    }
}

size_t Discard(char*, size_t size, size_t count, void*) {
    return size * count;
}

struct Upload {
    std::string text;
    size_t offset = 0;
};

size_t ReadUpload(char* buffer, size_t size, size_t count, void* data) {
    Upload& up = *static_cast<Upload*>(data);
    const size_t n = std::min(size * count, up.text.size() - up.offset);
    std::copy_n(up.text.data() + up.offset, n, buffer);
    up.offset += n;
    return n;
}

std::string MailDate() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d +0000", kDays[tm.tm_wday],
                  tm.tm_mday, kMonths[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min,
                  tm.tm_sec);
    return text;
}

std::string Joined(const std::vector<std::string>& items, const char* separator) {
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : separator) + item;
    return text;
}

} // namespace

Alerts::Alerts(const std::string& conninfo, const NotifyOptions& options, bool background)
    : options_(options), channels_(options.Channels()), conninfo_(conninfo) {
    if (channels_.empty())
        return;
    curl_global_init(CURL_GLOBAL_DEFAULT);
    if (background)
        thread_ = std::thread([this] { Run(); });
}

Alerts::~Alerts() {
    if (thread_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    if (!channels_.empty())
        curl_global_cleanup();
}

std::string Alerts::AfterPass(pg::Connection& db, bool& trouble) {
    std::string lines;
    cases::PassReport report;
    std::string error;
    if (db.Ok() && !cases::Update(db, channels_, report, error)) {
        trouble = true;
        lines = "positives: the database refused their pairing: " + error + "\n";
    }
    if (channels_.empty())
        return lines;
    if (thread_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            woken_ = true;
        }
        wake_.notify_one();
    } else {
        SendDue();
    }
    pg::Result r = db.Query("SELECT count(*), (SELECT last_error FROM quelma.alerts WHERE sent IS "
                            "NULL AND last_error <> '' ORDER BY next_try DESC LIMIT 1) FROM "
                            "quelma.alerts WHERE sent IS NULL");
    if (!r)
        return lines;
    const int64_t waiting = std::stoll(pg::Value(r, 0, 0));
    std::string text =
        "alerts: " + rows::Thousands(sent_) + " sent, " + rows::Thousands(waiting) + " waiting";
    if (waiting && !pg::Value(r, 0, 1).empty())
        text += "; last failure: " + pg::Value(r, 0, 1);
    trouble = trouble || waiting;
    if (text != shown_ && (sent_ || waiting))
        lines += text + "\n";
    shown_ = text;
    return lines;
}

void Alerts::Run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        wake_.wait_for(lock, kPoll, [this] { return woken_ || stopping_; });
        woken_ = false;
        lock.unlock();
        SendDue();
        lock.lock();
    }
}

void Alerts::SendDue() {
    if (!db_)
        db_ = std::make_unique<pg::Connection>(conninfo_);
    if (!db_->Ok() && !db_->Reset())
        return; // the import's own line tells of the database
    while (SendOne()) {
        std::lock_guard lock(mutex_);
        if (stopping_)
            break;
    }
}

bool Alerts::SendOne() {
    pg::Connection& db = *db_;
    if (!db.Begin())
        return false;
    const std::string key = cases::KeyColumns();
    // Claimed under a row lock until noted: a second collector sends it not as well.
    pg::Result r = db.Query(
        "SELECT a.channel, a.attempts, a.station, a.year, a.number, m.id, m.name, m.result, "
        "to_char(m.time, 'YYYY-MM-DD HH24:MI:SS TZ'), to_json(m.time) #>> '{}', "
        "to_char(s.due_from, 'YYYY-MM-DD HH24:MI TZ'), to_char(s.due_until, 'YYYY-MM-DD HH24:MI "
        "TZ'), to_json(s.due_from) #>> '{}', to_json(s.due_until) #>> '{}', a.generation FROM "
        "quelma.alerts a "
        "JOIN quelma.measurements m USING (" +
            key + ") LEFT JOIN quelma.screenings s USING (" + key +
            ") WHERE a.sent IS NULL AND a.next_try <= now() AND a.channel = ANY($1::text[]) "
            "ORDER BY a.next_try LIMIT 1 FOR UPDATE OF a SKIP LOCKED",
        {pg::Text("{" + Joined(channels_, ",") + "}")});
    if (!r || PQntuples(r.get()) == 0) {
        db.Rollback();
        return false;
    }
    const std::string channel = pg::Value(r, 0, 0);
    const int attempts = std::stoi(pg::Value(r, 0, 1));
    AlertFacts f;
    f.station = pg::Value(r, 0, 2);
    f.year = std::stoi(pg::Value(r, 0, 3));
    f.number = std::stoi(pg::Value(r, 0, 4));
    f.memberId = pg::Value(r, 0, 5);
    f.memberName = pg::Value(r, 0, 6);
    f.result = pg::Value(r, 0, 7);
    f.time = pg::Value(r, 0, 8);
    f.isoTime = pg::Value(r, 0, 9);
    f.dueFrom = pg::Value(r, 0, 10);
    f.dueUntil = pg::Value(r, 0, 11);
    f.isoDueFrom = pg::Value(r, 0, 12);
    f.isoDueUntil = pg::Value(r, 0, 13);
    f.generation = std::stoi(pg::Value(r, 0, 14));
    f.link = CaseLink(options_.siteUrl, f);

    std::string error;
    const bool sent = Deliver(channel, f, error);
    const std::vector<pg::Param> params = {pg::Text(f.station), pg::Text(std::to_string(f.year)),
                                           pg::Text(std::to_string(f.generation)),
                                           pg::Text(std::to_string(f.number)), pg::Text(channel)};
    const std::string where = " WHERE (" + key + ", channel) = ($1, $2, $3, $4, $5)";
    const int pause = std::min(kMaxPauseSeconds, kFirstPauseSeconds << std::min(attempts, 16));
    std::vector<pg::Param> failure = params;
    failure.push_back(pg::Text(std::to_string(pause)));
    failure.push_back(pg::Text(channel + ": " + error));
    const bool noted =
        sent ? static_cast<bool>(db.Query("UPDATE quelma.alerts SET sent = now(), attempts = "
                                          "attempts + 1, last_error = ''" +
                                              where,
                                          params))
             : static_cast<bool>(db.Query("UPDATE quelma.alerts SET attempts = attempts + 1, "
                                          "next_try = now() + make_interval(secs => $6), "
                                          "last_error = $7" +
                                              where,
                                          failure));
    if (!noted || !db.Commit()) {
        db.Rollback();
        return false;
    }
    if (sent)
        ++sent_;
    return true;
}

bool Alerts::Deliver(const std::string& channel, const AlertFacts& facts, std::string& error) {
    std::unique_ptr<CURL, CurlFree> curl(curl_easy_init());
    if (!curl) {
        error = "libcurl cannot start";
        return false;
    }
    CURL* c = curl.get();
    char message[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, message);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, kSendTimeoutSeconds);
    if (!options_.caFile.empty())
        curl_easy_setopt(c, CURLOPT_CAINFO, options_.caFile.c_str());
    CurlList list;
    Upload upload;
    std::string json;
    if (channel == "mail") {
        curl_easy_setopt(c, CURLOPT_URL, options_.mailUrl.c_str());
        curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
        // STARTTLS or nothing: the password and the alert never cross the network in clear.
        curl_easy_setopt(c, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
        if (!options_.user.empty()) {
            curl_easy_setopt(c, CURLOPT_USERNAME, options_.user.c_str());
            curl_easy_setopt(c, CURLOPT_PASSWORD, options_.password.c_str());
        }
        const std::string from = "<" + options_.from + ">";
        curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.c_str());
        for (const std::string& to : options_.to)
            Append(list, "<" + to + ">");
        curl_easy_setopt(c, CURLOPT_MAIL_RCPT, list.get());
        upload.text = AlertMail(
            facts, options_.from, Joined(options_.to, ", "), MailDate(),
            "<" + std::to_string(facts.year) + "." + std::to_string(facts.generation) + "." +
                std::to_string(facts.number) + "." +
                rows::Hex(facts.station.data(), facts.station.size()) + "@quelma-collect>");
        curl_easy_setopt(c, CURLOPT_READFUNCTION, ReadUpload);
        curl_easy_setopt(c, CURLOPT_READDATA, &upload);
        curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
    } else {
        json = AlertJson(facts);
        curl_easy_setopt(c, CURLOPT_URL, options_.webhookUrl.c_str());
        curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
        Append(list, "Content-Type: application/json");
        curl_easy_setopt(c, CURLOPT_HTTPHEADER, list.get());
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, json.c_str());
        curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Discard);
    }
    const CURLcode code = curl_easy_perform(c);
    if (code == CURLE_OK)
        return true;
    error = *message ? message : curl_easy_strerror(code);
    return false;
}
