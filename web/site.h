// The site on top of the HTTP layer: who may ask (host, origin, session), what a page is
// given, and how it answers. A page is one function taking a Page; routes.cpp lists them.
#pragma once

#include "collect/pg.h"
#include "web/http.h"
#include "web/query.h"
#include "web/session.h"

#include <set>
#include <string>
#include <vector>

namespace web {

struct Config {
    std::string conninfo;
    int idleMinutes = 30;
    int sessionHours = 12;
    bool tls = false;
    // Behind a TLS-terminating reverse proxy: the cookie is Secure and HSTS is sent.
    bool behindProxy = false;
    // Only these peers may name the browser's address in X-Real-IP.
    std::vector<std::string> trustedProxies;
    // Names the site answers to (Host), besides the address it listens on.
    std::vector<std::string> names;
    int port = 8080;
    bool Secure() const { return tls || behindProxy; }
};

// One request as a page sees it: its parameters, already checked against the route's list;
// for a page behind sign-in the session and a connection acting as quelma_web.
struct Page {
    const http::Request& req;
    http::Response& res;
    const Config& config;
    query::Params params;
    pg::Connection* db = nullptr;
    Session session;

    // The browser's address: the peer's, or a trusted proxy's X-Real-IP.
    std::string Address() const;
    // Writes an access-log entry (it reaches the disk) for the session's user or `user`;
    // false when it could not.
    bool Log(const std::string& action, const std::string& detail = {},
             const std::string& user = {}) const;
    // A whole page around `body`, with the navigation of the signed-in user.
    void Html(int status, const std::string& title, const std::string& body);
    void BadRequest(const std::string& reason);
    // Logs the database's error (of `failed`, or the page's connection) and answers 503.
    void NoDatabase(const pg::Connection* failed = nullptr);
    void NotFound();
    void SetSessionCookie(const std::string& token);
    std::string SessionToken() const;
};

using PageHandler = void(Page&);

struct Route {
    const char* method;
    const char* path;
    bool signedIn;
    std::set<std::string> params;
    PageHandler* handler;
};

// The whole site: the routes of routes.cpp behind the host, origin and session checks.
http::Handler Site(const Config& config);
const std::vector<Route>& Routes();

} // namespace web
