#include "web/pages.h"

#include "web/assets.h"
#include "web/html.h"
#include "web/query.h"
#include "web/session.h"

#include <cstdio>
#include <functional>
#include <memory>

namespace web {

namespace {

using html::Escape;
using httplib::Request;
using httplib::Response;

constexpr int kPageRows = 100;
constexpr int kMemberRows = 500;
constexpr int kCsvBatch = 5000;
constexpr char kCookie[] = "qsession";

const Config* g_config = nullptr;
Throttle g_throttle;

void Send(Response& res, int status, const std::string& body) {
    res.status = status;
    res.set_content(body, "text/html; charset=utf-8");
}

void BadRequest(Response& res, const std::string& reason) {
    Send(res, 400,
         html::Page("Bad request", "", "",
                    "<p class=\"error\">This request cannot be answered: " + Escape(reason) +
                        ".</p><p><a href=\"/\">Back to the overview</a></p>"));
}

void NoDatabase(Response& res, pg::Connection* db = nullptr) {
    if (db)
        std::fprintf(stderr, "quelma-web: database: %s\n", db->Error().c_str());
    Send(res, 503,
         html::Page("Database unavailable", "", "",
                    "<p class=\"error\">The database cannot be reached; try again shortly.</p>"));
}

// The session token from the cookie: 64 hex digits, or empty.
std::string CookieToken(const Request& req) {
    const std::string cookies = req.get_header_value("Cookie");
    const std::string prefix = std::string(kCookie) + "=";
    size_t at = 0;
    while (at < cookies.size()) {
        while (at < cookies.size() && cookies[at] == ' ')
            ++at;
        const size_t end = std::min(cookies.find(';', at), cookies.size());
        if (cookies.compare(at, prefix.size(), prefix) == 0) {
            std::string token = cookies.substr(at + prefix.size(), end - at - prefix.size());
            const bool hex = token.size() == 64 &&
                             token.find_first_not_of("0123456789abcdef") == std::string::npos;
            return hex ? token : std::string();
        }
        at = end + 1;
    }
    return {};
}

std::string SessionCookie(const std::string& token, bool clear) {
    return std::string(kCookie) + "=" + token + "; Path=/; HttpOnly; SameSite=Strict" +
           (g_config->tls ? "; Secure" : "") + (clear ? "; Max-Age=0" : "");
}

// The browser's address: the connection's, or behind a reverse proxy on this machine the one
// the proxy passes on in X-Real-IP.
std::string ClientAddress(const Request& req) {
    const bool local = req.remote_addr == "127.0.0.1" || req.remote_addr == "::1";
    const std::string real = req.get_header_value("X-Real-IP");
    if (g_config->behindProxy && local && !real.empty() && real.size() <= 45 &&
        real.find_first_not_of("0123456789abcdefABCDEF:.") == std::string::npos)
        return real;
    return req.remote_addr;
}

// False when the entry could not be written.
bool Log(pg::Connection& db, const std::string& user, const Request& req, const std::string& action,
         const std::string& detail = {}) {
    return static_cast<bool>(db.Query(
        "INSERT INTO quelma.access_log (user_name, address, action, detail) VALUES ($1, "
        "$2, $3, $4)",
        {pg::Text(user), pg::Text(ClientAddress(req)), pg::Text(action), pg::Text(detail)}));
}

bool FindSession(pg::Connection& db, const Request& req, Session& session) {
    const std::string token = CookieToken(req);
    if (token.empty())
        return false;
    const std::string sha = TokenSha256(token);
    pg::Result r = db.Query(
        "SELECT s.user_name, s.csrf, u.admin, s.last_seen < now() - interval '1 minute' FROM "
        "quelma.web_sessions s JOIN quelma.web_users u ON u.name = s.user_name WHERE "
        "s.token_sha256 = $1 AND s.last_seen > now() - $2::integer * interval '1 minute'",
        {pg::Bytes(sha.data(), sha.size()), pg::Text(std::to_string(g_config->idleMinutes))});
    if (!r || PQntuples(r.get()) != 1)
        return false;
    session = {pg::Value(r, 0, 0), pg::Value(r, 0, 1), pg::Value(r, 0, 2) == "t"};
    // The idle clock restarts at most once a minute: a page's requests write nothing.
    if (pg::Value(r, 0, 3) == "t")
        db.Query("UPDATE quelma.web_sessions SET last_seen = now() WHERE token_sha256 = $1",
                 {pg::Bytes(sha.data(), sha.size())});
    return true;
}

using Handler = std::function<void(const Request&, Response&, pg::Connection&, const Session&,
                                   const query::Params&)>;

// A route that needs a session and takes only `allowed` parameters.
httplib::Server::Handler Guard(std::set<std::string> allowed, Handler handler) {
    return [allowed = std::move(allowed), handler = std::move(handler)](const Request& req,
                                                                        Response& res) {
        pg::Connection* db = Db(g_config->conninfo);
        if (!db)
            return NoDatabase(res);
        Session session;
        if (!FindSession(*db, req, session)) {
            res.set_redirect("/login", 303);
            return;
        }
        query::Params params;
        std::string error;
        if (!query::Read(req.params, allowed, params, error))
            return BadRequest(res, error);
        handler(req, res, *db, session, params);
    };
}

std::string Cell(const pg::Result& r, int row, int col) {
    return Escape(pg::Value(r, row, col));
}

std::string SignInPage(const std::string& message) {
    return html::Page(
        "Sign in", "", "",
        "<form class=\"signin\" method=\"post\" action=\"/login\">" +
            (message.empty() ? "" : "<p class=\"error\">" + Escape(message) + "</p>") +
            "<label>Name<input name=\"name\" autocomplete=\"username\" required "
            "autofocus></label><label>Password<input name=\"password\" type=\"password\" "
            "autocomplete=\"current-password\" required></label><button "
            "type=\"submit\">Sign in</button></form>");
}

void SignIn(const Request& req, Response& res) {
    query::Params p;
    std::string error;
    if (!query::Read(req.params, {"name", "password"}, p, error))
        return BadRequest(res, error);
    const std::string name = p["name"], password = p["password"];
    if (!query::IsName(name))
        return Send(res, 401, SignInPage("Wrong name or password."));
    pg::Connection* db = Db(g_config->conninfo);
    if (!db)
        return NoDatabase(res);
    const auto now = Throttle::Clock::now();
    if (const int wait = g_throttle.Wait(name, ClientAddress(req), now)) {
        Log(*db, name, req, "sign-in refused", "too many failed sign-ins");
        return Send(res, 429,
                    SignInPage("Too many failed sign-ins. Try again in " + std::to_string(wait) +
                               " seconds."));
    }
    pg::Result r =
        db->Query("SELECT password_hash FROM quelma.web_users WHERE name = $1", {pg::Text(name)});
    if (!r)
        return NoDatabase(res);
    // An unknown name costs as long as a wrong password, so names cannot be told apart.
    static const std::string kDummy = HashPassword("not a password");
    const bool known = PQntuples(r.get()) == 1;
    const bool good = VerifyPassword(known ? pg::Value(r, 0, 0) : kDummy, password) && known;
    if (!good) {
        g_throttle.Failed(name, ClientAddress(req), now);
        Log(*db, name, req, "sign-in failed");
        return Send(res, 401, SignInPage("Wrong name or password."));
    }
    g_throttle.Succeeded(name);
    const std::string token = RandomHex(32);
    const std::string sha = TokenSha256(token);
    db->Query("DELETE FROM quelma.web_sessions WHERE last_seen < now() - $1::integer * interval "
              "'1 minute'",
              {pg::Text(std::to_string(g_config->idleMinutes))});
    if (!db->Query("INSERT INTO quelma.web_sessions (token_sha256, user_name, csrf) VALUES ($1, "
                   "$2, $3)",
                   {pg::Bytes(sha.data(), sha.size()), pg::Text(name), pg::Text(RandomHex(16))}))
        return NoDatabase(res);
    Log(*db, name, req, "sign-in");
    res.set_header("Set-Cookie", SessionCookie(token, false));
    res.set_redirect("/", 303);
}

void SignOut(const Request& req, Response& res, pg::Connection& db, const Session& session,
             const query::Params& p) {
    auto csrf = p.find("csrf");
    if (csrf == p.end() || !SameSecret(csrf->second, session.csrf))
        return BadRequest(res, "the sign-out form is not this session's");
    const std::string sha = TokenSha256(CookieToken(req));
    db.Query("DELETE FROM quelma.web_sessions WHERE token_sha256 = $1",
             {pg::Bytes(sha.data(), sha.size())});
    Log(db, session.user, req, "sign-out");
    res.set_header("Set-Cookie", SessionCookie("", true));
    res.set_redirect("/login", 303);
}

// Positives per day of the last 30 days as bars, drawn here so the page needs no script.
std::string PositivesChart(pg::Connection& db) {
    pg::Result r = db.Query(
        "SELECT to_char(d, 'YYYY-MM-DD'), coalesce(c.n, 0) FROM generate_series(current_date - "
        "29, current_date, interval '1 day') d LEFT JOIN (SELECT coalesce(time, "
        "'-infinity')::date AS day, count(*) AS n FROM quelma.measurements WHERE positive AND "
        "coalesce(time, '-infinity') >= current_date - 29 GROUP BY 1) c ON c.day = d::date "
        "ORDER BY d");
    if (!r)
        return {};
    const int days = PQntuples(r.get());
    long most = 1;
    for (int i = 0; i < days; ++i)
        most = std::max(most, std::stol(pg::Value(r, i, 1)));
    constexpr int kWidth = 600, kHeight = 150, kBase = 130, kBar = 20;
    std::string svg = "<svg viewBox=\"0 0 " + std::to_string(kWidth) + " " +
                      std::to_string(kHeight) +
                      "\" role=\"img\" aria-label=\"Positives per day, last 30 days\">";
    for (int i = 0; i < days; ++i) {
        const long n = std::stol(pg::Value(r, i, 1));
        const long h = n * 110 / most;
        const int x = i * kBar;
        svg += "<rect x=\"" + std::to_string(x + 2) + "\" y=\"" + std::to_string(kBase - h) +
               "\" width=\"" + std::to_string(kBar - 4) + "\" height=\"" + std::to_string(h) +
               "\" fill=\"#c0392b\"><title>" + pg::Value(r, i, 0) + ": " + std::to_string(n) +
               "</title></rect>";
        if (n)
            svg += "<text x=\"" + std::to_string(x + kBar / 2) + "\" y=\"" +
                   std::to_string(kBase - h - 3) + "\" font-size=\"9\" text-anchor=\"middle\">" +
                   std::to_string(n) + "</text>";
        if (i % 5 == 0 || i == days - 1)
            svg += "<text x=\"" + std::to_string(i == days - 1 ? x + kBar : x + 2) +
                   "\" y=\"145\" font-size=\"10\"" + (i == days - 1 ? " text-anchor=\"end\"" : "") +
                   ">" + pg::Value(r, i, 0).substr(5) + "</text>";
    }
    svg += "<line x1=\"0\" y1=\"130\" x2=\"600\" y2=\"130\" stroke=\"#888\"/></svg>";
    return "<div class=\"chart\">" + svg + "</div>";
}

void Overview(const Request&, Response& res, pg::Connection& db, const Session& session,
              const query::Params&) {
    pg::Result r = db.Query(
        "SELECT s.name, to_char(r.last_import, 'YYYY-MM-DD HH24:MI'), CASE WHEN n.newest > "
        "'-infinity' THEN to_char(n.newest, 'YYYY-MM-DD HH24:MI') END, t.total, t.positives, "
        "coalesce(r.damaged, 0), coalesce(r.replaced, 0), coalesce(r.notes, ''), "
        "coalesce(r.failure, '') FROM (SELECT name FROM quelma.stations UNION SELECT station "
        "FROM quelma.station_reports) s LEFT JOIN quelma.station_reports r ON r.station = "
        "s.name LEFT JOIN LATERAL (SELECT max(coalesce(time, '-infinity')) AS newest FROM "
        "quelma.measurements m WHERE m.station = s.name) n ON true LEFT JOIN LATERAL (SELECT "
        "count(*) AS total, count(*) FILTER (WHERE positive) AS positives FROM "
        "quelma.measurements m WHERE m.station = s.name AND coalesce(time, '-infinity') >= "
        "current_date) t ON true ORDER BY s.name");
    if (!r)
        return NoDatabase(res, &db);
    std::string body = "<div class=\"scroll\"><table><thead><tr><th>Station</th><th>Last "
                       "import</th><th>Newest measurement</th><th>Today</th><th>Positives "
                       "today</th><th>Damaged or replaced files</th></tr></thead><tbody>";
    for (int i = 0; i < PQntuples(r.get()); ++i) {
        const std::string troubles =
            pg::Value(r, i, 5) + " damaged, " + pg::Value(r, i, 6) + " replaced";
        const bool troubled =
            pg::Value(r, i, 5) != "0" || pg::Value(r, i, 6) != "0" || !pg::Value(r, i, 8).empty();
        body += "<tr><td><a href=\"/measurements?station=" +
                Escape(html::UrlEncode(pg::Value(r, i, 0))) + "\">" + Cell(r, i, 0) +
                "</a></td><td>" + Cell(r, i, 1) + "</td><td>" + Cell(r, i, 2) +
                "</td><td class=\"num\">" + Cell(r, i, 3) + "</td><td class=\"num\">" +
                Cell(r, i, 4) + "</td><td>" +
                (troubled ? "<span class=\"bad\">" + Escape(troubles) + "</span>" +
                                (pg::Value(r, i, 8).empty()
                                     ? ""
                                     : "<div class=\"notes\">failed: " + Cell(r, i, 8) + "</div>") +
                                "<div class=\"notes\">" + Cell(r, i, 7) + "</div>"
                          : "none") +
                "</td></tr>";
    }
    body += "</tbody></table></div><h2>Positives per day, last 30 days</h2>" + PositivesChart(db);
    if (session.admin) {
        pg::Result log = db.Query("SELECT to_char(time, 'YYYY-MM-DD HH24:MI:SS'), user_name, "
                                  "address, action, detail FROM quelma.access_log ORDER BY id "
                                  "DESC LIMIT 20");
        body += "<h2>Access log</h2><div class=\"scroll\"><table><thead><tr><th>Time</th><th>"
                "User</th><th>Address</th><th>Action</th><th>Detail</th></tr></thead><tbody>";
        for (int i = 0; log && i < PQntuples(log.get()); ++i)
            body += "<tr><td>" + Cell(log, i, 0) + "</td><td>" + Cell(log, i, 1) + "</td><td>" +
                    Cell(log, i, 2) + "</td><td>" + Cell(log, i, 3) + "</td><td>" +
                    Cell(log, i, 4) + "</td></tr>";
        body += "</tbody></table></div>";
    }
    Send(res, 200, html::Page("Overview", session.user, session.csrf, body));
}

std::string PhotoLink(const std::string& station, const std::string& file) {
    if (file.empty())
        return "";
    return "<a class=\"photo-link\" href=\"/photo?station=" + Escape(html::UrlEncode(station)) +
           "&amp;file=" + Escape(html::UrlEncode(file)) + "\">photo</a>";
}

// The rows of a measurement query as a table; `links` adds sorting links to the headings.
std::string MeasurementTable(const pg::Result& r, int rows, const query::Filter* links) {
    auto heading = [&](const char* label, const char* sort, const char* cls = "") {
        std::string th =
            std::string("<th") + (*cls ? " class=\"" + std::string(cls) + "\"" : "") + ">";
        if (!links || !*sort)
            return th + label + "</th>";
        query::Filter f = *links;
        f.ascending = f.sort == sort && !f.ascending;
        f.sort = sort;
        return th + "<a href=\"/measurements?" + Escape(query::FilterUrl(f)) + "\">" + label +
               (links->sort == sort ? (links->ascending ? " &#9650;" : " &#9660;") : "") +
               "</a></th>";
    };
    std::string t = "<div class=\"scroll\"><table><thead><tr>" + heading("Time", "time") +
                    heading("Station", "") + heading("ID", "id") + heading("Name", "name") +
                    heading("Result", "") + heading("Value", "value") +
                    heading("Mode", "", "wide") + heading("Photo", "") + "</tr></thead><tbody>";
    for (int i = 0; i < rows; ++i) {
        const bool positive = pg::Value(r, i, 12) == "t";
        t += std::string("<tr") + (positive ? " class=\"positive\"" : "") + "><td>" +
             Cell(r, i, 3) + "</td><td>" + Cell(r, i, 0) +
             "</td><td><a href=\"/member?id=" + Escape(html::UrlEncode(pg::Value(r, i, 4))) +
             "\">" + Cell(r, i, 4) + "</a></td><td>" + Cell(r, i, 5) + "</td><td>" +
             Cell(r, i, 11) + (positive ? " <span class=\"bad\">positive</span>" : "") +
             "</td><td class=\"num\">" + Cell(r, i, 9) + " " + Cell(r, i, 8) +
             "</td><td class=\"wide\">" + Cell(r, i, 7) + "</td><td>" +
             PhotoLink(pg::Value(r, i, 0), pg::Value(r, i, 13)) + "</td></tr>";
    }
    return t + "</tbody></table></div>";
}

std::string Option(const std::string& value, const std::string& label,
                   const std::string& selected) {
    return "<option value=\"" + Escape(value) + "\"" + (value == selected ? " selected" : "") +
           ">" + Escape(label) + "</option>";
}

std::string FilterForm(pg::Connection& db, const query::Filter& f) {
    std::string stations = Option("", "all", f.station);
    if (pg::Result r = db.Query("SELECT name FROM quelma.stations ORDER BY name"))
        for (int i = 0; i < PQntuples(r.get()); ++i)
            stations += Option(pg::Value(r, i, 0), pg::Value(r, i, 0), f.station);
    std::string levels;
    for (const auto& [value, label] :
         std::vector<std::pair<std::string, std::string>>{{"", "all"},
                                                          {"positive", "positive"},
                                                          {"negative", "negative"},
                                                          {"0", "level 0"},
                                                          {"Low", "level Low"},
                                                          {"Hi", "level Hi"}})
        levels += Option(value, label, f.level);
    return "<form class=\"filters\" method=\"get\" action=\"/measurements\"><label>From<input "
           "type=\"date\" name=\"from\" value=\"" +
           Escape(f.from) + "\"></label><label>To<input type=\"date\" name=\"to\" value=\"" +
           Escape(f.to) + "\"></label><label>Member ID<input name=\"member\" value=\"" +
           Escape(f.member) + "\" maxlength=\"64\"></label><label>Result<select name=\"level\">" +
           levels + "</select></label><label>Station<select name=\"station\">" + stations +
           "</select></label><input type=\"hidden\" name=\"sort\" value=\"" + Escape(f.sort) +
           "\"><button type=\"submit\">Show</button></form>";
}

void Measurements(const Request&, Response& res, pg::Connection& db, const Session& session,
                  const query::Params& p) {
    query::Filter f;
    std::string error;
    if (!query::ParseFilter(p, f, error))
        return BadRequest(res, error);
    const query::Sql sql = query::Measurements(f, kPageRows + 1);
    pg::Result r = db.Query(sql.text, sql.params);
    if (!r)
        return NoDatabase(res, &db);
    const int n = PQntuples(r.get());
    const int shown = std::min(n, kPageRows);
    const std::string url = query::FilterUrl(f);
    std::string body = FilterForm(db, f) + "<p>" +
                       (shown ? std::to_string(shown) + " measurements" : "No measurements") +
                       (f.hasCursor ? " on this page" : "") + ". <a href=\"/measurements.csv" +
                       (url.empty() ? "" : "?") + Escape(url) +
                       "\" download>Download the list as CSV</a></p>" +
                       MeasurementTable(r, shown, &f) + "<div class=\"pager\">";
    if (f.hasCursor)
        body += "<a href=\"/measurements" + std::string(url.empty() ? "" : "?") + Escape(url) +
                "\">First page</a>";
    if (n > kPageRows) {
        const int last = kPageRows - 1;
        body += "<a href=\"/measurements?" +
                Escape(url + (url.empty() ? "" : "&") + query::CursorUrl(r, last)) +
                "\" rel=\"next\">Next page</a>";
    }
    body += "</div>";
    Send(res, 200, html::Page("Measurements", session.user, session.csrf, body));
}

// The list is sent in batches, each a keyset page after the last, so a million rows need
// no more memory than a few thousand.
void Csv(const Request& req, Response& res, pg::Connection& db, const Session& session,
         const query::Params& p) {
    auto f = std::make_shared<query::Filter>();
    std::string error;
    if (!query::ParseFilter(p, *f, error))
        return BadRequest(res, error);
    f->hasCursor = false;
    // Nothing personal leaves without its entry in the access log.
    if (!Log(db, session.user, req, "CSV export", query::FilterUrl(*f)))
        return NoDatabase(res, &db);
    res.set_header("Content-Disposition", "attachment; filename=\"quelma-measurements.csv\"");
    res.set_chunked_content_provider(
        "text/csv; charset=utf-8", [f](size_t, httplib::DataSink& sink) {
            pg::Connection* db = Db(g_config->conninfo);
            if (!db)
                return false;
            const query::Sql sql = query::Measurements(*f, kCsvBatch);
            pg::Result r = db->Query(sql.text, sql.params);
            if (!r)
                return false;
            std::string csv = f->hasCursor ? ""
                                           : "Station,Year,Number,Time,ID,Name,Card,Mode,"
                                             "Unit,Value,Level,Result,Positive,Photo\r\n";
            const int n = PQntuples(r.get());
            for (int i = 0; i < n; ++i) {
                for (int c = 0; c < 14; ++c) {
                    std::string v = pg::Value(r, i, c);
                    if (c == 12)
                        v = v == "t" ? "yes" : "no";
                    csv += (c ? "," : "") + html::CsvCell(v);
                }
                csv += "\r\n";
            }
            if (!sink.write(csv.data(), csv.size()))
                return false;
            if (n < kCsvBatch) {
                sink.done();
                return true;
            }
            query::SetCursor(*f, r, n - 1);
            return true;
        });
}

void Member(const Request& req, Response& res, pg::Connection& db, const Session& session,
            const query::Params& p) {
    auto id = p.find("id");
    if (id == p.end() || !query::IsName(id->second))
        return BadRequest(res, "\"id\" must be a member ID of letters, digits and - _ . : # ( )");
    pg::Result members = db.Query("SELECT station, slot + 1, name, card_serial FROM "
                                  "quelma.members WHERE id = $1 ORDER BY station",
                                  {pg::Text(id->second)});
    query::Filter f;
    f.member = id->second;
    const query::Sql sql = query::Measurements(f, kMemberRows);
    pg::Result r = db.Query(sql.text, sql.params);
    if (!members || !r || !Log(db, session.user, req, "member history", id->second))
        return NoDatabase(res, &db);
    std::string body = "<h2>Registered at</h2>";
    if (PQntuples(members.get()) == 0)
        body += "<p>No station lists this ID now.</p>";
    else {
        body += "<div class=\"scroll\"><table><thead><tr><th>Station</th><th>Slot</th><th>Name"
                "</th><th>Card</th></tr></thead><tbody>";
        for (int i = 0; i < PQntuples(members.get()); ++i)
            body += "<tr><td>" + Cell(members, i, 0) + "</td><td>" + Cell(members, i, 1) +
                    "</td><td>" + Cell(members, i, 2) + "</td><td>" + Cell(members, i, 3) +
                    "</td></tr>";
        body += "</tbody></table></div>";
    }
    const int n = PQntuples(r.get());
    body += "<h2>Measurements at every station</h2><p>" + std::to_string(n) +
            (n == kMemberRows ? " newest measurements shown; " : " measurements; ") +
            "<a href=\"/measurements?member=" + Escape(html::UrlEncode(id->second)) +
            "\">open them in the list</a>.</p>" + MeasurementTable(r, n, nullptr);
    Send(res, 200, html::Page("Member " + id->second, session.user, session.csrf, body));
}

void Photo(const Request&, Response& res, pg::Connection& db, const Session&,
           const query::Params& p) {
    auto station = p.find("station");
    auto file = p.find("file");
    if (station == p.end() || !query::IsName(station->second))
        return BadRequest(res, "\"station\" must be a station name");
    if (file == p.end() || !query::IsPhotoFile(file->second))
        return BadRequest(res, "\"file\" must be a photo's file name (NAME.bmp, no folder)");
    pg::Result r = db.Query("SELECT bytes FROM quelma.photos WHERE station = $1 AND file_name = $2",
                            {pg::Text(station->second), pg::Text(file->second)});
    if (!r)
        return NoDatabase(res);
    if (PQntuples(r.get()) != 1)
        return Send(res, 404, html::Page("No such photo", "", "", "<p>No such photo.</p>"));
    const std::vector<unsigned char> bytes = pg::ByteaValue(r, 0, 0);
    res.set_content(std::string(bytes.begin(), bytes.end()), "image/bmp");
}

} // namespace

void AddRoutes(httplib::Server& server, const Config& config) {
    g_config = &config;
    httplib::Headers headers = {
        {"Content-Security-Policy",
         "default-src 'self'; script-src 'self'; style-src 'self'; img-src 'self'; "
         "form-action 'self'; frame-ancestors 'none'; base-uri 'none'; object-src 'none'"},
        {"X-Content-Type-Options", "nosniff"},
        {"X-Frame-Options", "DENY"},
        {"Referrer-Policy", "no-referrer"},
        {"Cache-Control", "no-store"}};
    if (config.tls)
        headers.emplace("Strict-Transport-Security", "max-age=31536000");
    server.set_default_headers(headers);
    server.set_exception_handler([](const Request&, Response& res, std::exception_ptr) {
        Send(res, 500,
             html::Page("Error", "", "",
                        "<p class=\"error\">Something went wrong."
                        "</p>"));
    });
    server.Get("/style.css", [](const Request&, Response& res) {
        res.set_content(assets::kStyle, "text/css; charset=utf-8");
    });
    server.Get("/app.js", [](const Request&, Response& res) {
        res.set_content(assets::kScript, "text/javascript; charset=utf-8");
    });
    server.Get("/login", [](const Request&, Response& res) { Send(res, 200, SignInPage("")); });
    server.Post("/login", SignIn);
    server.Post("/logout", Guard({"csrf"}, SignOut));
    server.Get("/", Guard({}, Overview));
    server.Get("/measurements", Guard(query::kFilterParams, Measurements));
    server.Get("/measurements.csv", Guard(query::kFilterParams, Csv));
    server.Get("/member", Guard({"id"}, Member));
    server.Get("/photo", Guard({"station", "file"}, Photo));
    server.Get(".*", [](const Request&, Response& res) {
        Send(res, 404, html::Page("Not found", "", "", "<p>No such page.</p>"));
    });
}

} // namespace web
