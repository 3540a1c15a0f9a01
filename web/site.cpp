#include "web/site.h"

#include "web/html.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>

namespace web {

namespace {

std::string CookieName(const Config& config) {
    // The __Host- prefix makes browsers take the cookie only over HTTPS, for this host alone.
    return config.Secure() ? "__Host-qsession" : "qsession";
}

bool IsAddress(const std::string& text) {
    unsigned char buffer[sizeof(in6_addr)];
    return inet_pton(AF_INET, text.c_str(), buffer) == 1 ||
           inet_pton(AF_INET6, text.c_str(), buffer) == 1;
}

// The Host header without its port; "[::1]:8080" gives "::1".
std::string HostName(const std::string& host) {
    if (host.starts_with('[')) {
        const size_t close = host.find(']');
        return close == std::string::npos ? host : host.substr(1, close - 1);
    }
    const size_t colon = host.find(':');
    return colon == std::string::npos ? host : host.substr(0, colon);
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool KnownHost(const Config& config, const std::string& host) {
    const std::string name = Lower(HostName(host));
    return !name.empty() &&
           std::find(config.names.begin(), config.names.end(), name) != config.names.end();
}

// A form from another site (or a page it framed) never acts here, the sign-in included. Under
// "Referrer-Policy: no-referrer" browsers send "Origin: null" and say the rest in
// Sec-Fetch-Site.
bool SameSite(const Config& config, const http::Request& req) {
    const std::string origin = req.Header("Origin");
    const std::string fetchSite = req.Header("Sec-Fetch-Site");
    if (!origin.empty() && origin != "null")
        return origin == (config.Secure() ? "https://" : "http://") + req.Header("Host");
    if (!fetchSite.empty())
        return fetchSite == "same-origin";
    return origin.empty();
}

void SecurityHeaders(const Config& config, http::Response& res) {
    res.headers.emplace("Content-Security-Policy",
                        "default-src 'self'; script-src 'self'; style-src 'self'; img-src "
                        "'self'; form-action 'self'; frame-ancestors 'none'; base-uri 'none'; "
                        "object-src 'none'");
    res.headers.emplace("X-Content-Type-Options", "nosniff");
    res.headers.emplace("X-Frame-Options", "DENY");
    res.headers.emplace("Referrer-Policy", "no-referrer");
    res.headers.emplace("Cache-Control", "no-store");
    if (config.Secure())
        res.headers.emplace("Strict-Transport-Security", "max-age=31536000");
}

enum class Found { Yes, No, Error };

Found FindSession(Page& page) {
    const std::string token = page.SessionToken();
    if (token.empty())
        return Found::No;
    const std::string sha = TokenSha256(token);
    pg::Connection& db = *page.db;
    pg::Result r = db.Query(
        "SELECT s.user_name, s.csrf, u.admin, s.last_seen < now() - interval '1 minute' FROM "
        "quelma.web_sessions s JOIN quelma.web_users u ON u.name = s.user_name WHERE "
        "s.token_sha256 = $1 AND s.last_seen > now() - $2::integer * interval '1 minute' AND "
        "s.created > now() - $3::integer * interval '1 hour'",
        {pg::Bytes(sha.data(), sha.size()), pg::Text(std::to_string(page.config.idleMinutes)),
         pg::Text(std::to_string(page.config.sessionHours))});
    if (!r)
        return Found::Error;
    if (PQntuples(r.get()) != 1)
        return Found::No;
    page.session = {pg::Value(r, 0, 0), pg::Value(r, 0, 1), pg::Value(r, 0, 2) == "t"};
    // The idle clock restarts at most once a minute: a page's requests write nothing.
    if (pg::Value(r, 0, 3) == "t" &&
        !db.Query("UPDATE quelma.web_sessions SET last_seen = now() WHERE token_sha256 = $1",
                  {pg::Bytes(sha.data(), sha.size())}))
        return Found::Error;
    return Found::Yes;
}

void Serve(const Config& config, const http::Request& req, http::Response& res) {
    Page page{req, res, config, {}, nullptr, {}};
    if (!KnownHost(config, req.Header("Host"))) {
        res.status = 421;
        res.contentType = "text/plain; charset=utf-8";
        res.body = "This server does not answer for that host name.\n";
        return;
    }
    const Route* route = nullptr;
    std::string allowed;
    for (const Route& r : Routes())
        if (req.path == r.path) {
            allowed += (allowed.empty() ? "" : ", ") + std::string(r.method);
            if (req.method == r.method || (req.method == "HEAD" && std::string(r.method) == "GET"))
                route = &r;
        }
    if (!route) {
        if (allowed.empty())
            return page.NotFound();
        res.headers.emplace("Allow", allowed);
        return page.Html(405, "Method not allowed", "<p>This page does not take that.</p>");
    }
    if (req.method == "POST" && !SameSite(config, req))
        return page.Html(403, "Refused",
                         "<p class=\"error\">A form of another site cannot act here.</p>");
    if (route->signedIn) {
        page.db = Db(config.conninfo);
        if (!page.db)
            return page.NoDatabase();
        Found found = FindSession(page);
        // A connection lost since its last request (the database restarted) is made again.
        if (found == Found::Error && !page.db->Ok()) {
            page.db = Db(config.conninfo);
            if (!page.db)
                return page.NoDatabase();
            found = FindSession(page);
        }
        if (found == Found::Error)
            return page.NoDatabase();
        if (found == Found::No)
            return res.Redirect("/login");
    }
    std::string error;
    if (!query::Read(req.params, route->params, page.params, error))
        return page.BadRequest(error);
    route->handler(page);
}

} // namespace

std::string Page::Address() const {
    const auto& trusted = config.trustedProxies;
    if (std::find(trusted.begin(), trusted.end(), req.peer) == trusted.end())
        return req.peer;
    const std::string real = req.Header("X-Real-IP");
    return IsAddress(real) ? real : req.peer;
}

bool Page::Log(const std::string& action, const std::string& detail,
               const std::string& user) const {
    return db && static_cast<bool>(
                     db->Query("INSERT INTO quelma.access_log (user_name, address, action, detail) "
                               "VALUES ($1, $2, $3, $4)",
                               {pg::Text(user.empty() ? session.user : user), pg::Text(Address()),
                                pg::Text(action), pg::Text(detail)}));
}

void Page::Html(int status, const std::string& title, const std::string& body) {
    res.status = status;
    res.contentType = "text/html; charset=utf-8";
    res.body = html::Page(title, session.user, session.csrf, body);
}

void Page::BadRequest(const std::string& reason) {
    Html(400, "Bad request",
         "<p class=\"error\">This request cannot be answered: " + html::Escape(reason) +
             ".</p><p><a href=\"/\">Back to the overview</a></p>");
}

void Page::NoDatabase(const pg::Connection* failed) {
    if (!failed)
        failed = db;
    if (failed)
        std::fprintf(stderr, "quelma-web: database: %s\n", failed->Error().c_str());
    session = {};
    Html(503, "Database unavailable",
         "<p class=\"error\">The database cannot be reached; try again shortly.</p>");
}

void Page::NotFound() {
    Html(404, "Not found", "<p>No such page.</p>");
}

std::string Page::SessionToken() const {
    const std::string token = req.Cookie(CookieName(config));
    const bool hex =
        token.size() == 64 && token.find_first_not_of("0123456789abcdef") == std::string::npos;
    return hex ? token : std::string();
}

void Page::SetSessionCookie(const std::string& token) {
    res.headers.emplace("Set-Cookie", CookieName(config) + "=" + token +
                                          "; Path=/; HttpOnly; SameSite=Strict" +
                                          (config.Secure() ? "; Secure" : "") +
                                          (token.empty() ? "; Max-Age=0" : ""));
}

http::Handler Site(const Config& config) {
    return [&config](const http::Request& req, http::Response& res) {
        Serve(config, req, res);
        SecurityHeaders(config, res);
    };
}

} // namespace web
