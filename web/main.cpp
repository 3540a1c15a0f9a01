// quelma-web: a signed-in view of the site's results in the collector's database. Every
// connection acts as the role quelma_web, which reads the measurements and writes only the
// web's own tables; a login role that could do more is refused.
#include "collect/config_file.h"
#include "collect/schema.h"
#include "web/accounts.h"
#include "web/http.h"
#include "web/site.h"

#include <sodium.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr char kUsage[] =
    "usage: quelma-web --db CONNINFO [--listen ADDR:PORT] [--tls-cert FILE --tls-key FILE]\n"
    "                  [--idle-minutes N] [--session-hours N] [--server-name NAME]...\n"
    "                  [--behind-proxy [--trusted-proxy ADDR]...]\n"
    "       quelma-web --db CONNINFO --add-user NAME [--admin]\n"
    "       quelma-web --db CONNINFO --reset-password NAME\n"
    "       quelma-web --db CONNINFO --remove-user NAME\n"
    "       quelma-web --db CONNINFO --list-users\n"
    "  --config FILE  takes options from FILE, one \"name = value\" line each (a flag:\n"
    "                 \"name = true\"); options on the command line win\n";

struct Options {
    web::Config config;
    std::string host = "127.0.0.1";
    int port = 8080;
    std::string cert, key, addUser, resetPassword, removeUser;
    bool admin = false, listUsers = false, help = false;
};

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool ParseListen(const std::string& text, Options& o) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon + 1 == text.size() || colon + 6 < text.size())
        return false;
    std::string host = text.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    const std::string port = text.substr(colon + 1);
    if (host.empty() || port.find_first_not_of("0123456789") != std::string::npos)
        return false;
    o.host = host;
    o.port = std::stoi(port);
    return o.port > 0 && o.port < 65536;
}

bool Parse(const std::vector<std::string>& args, Options& o, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--db") {
            if (!value(o.config.conninfo))
                return false;
        } else if (a == "--listen") {
            if (!value(v))
                return false;
            if (!ParseListen(v, o)) {
                error = "--listen wants ADDR:PORT, for example 127.0.0.1:8080";
                return false;
            }
        } else if (a == "--tls-cert") {
            if (!value(o.cert))
                return false;
        } else if (a == "--tls-key") {
            if (!value(o.key))
                return false;
        } else if (a == "--idle-minutes" || a == "--session-hours") {
            if (!value(v))
                return false;
            if (v.empty() || v.size() > 5 || v.find_first_not_of("0123456789") != v.npos ||
                std::stoi(v) < 1) {
                error = a + " wants a whole number, at least 1";
                return false;
            }
            (a == "--idle-minutes" ? o.config.idleMinutes : o.config.sessionHours) = std::stoi(v);
        } else if (a == "--trusted-proxy" || a == "--server-name") {
            if (!value(v))
                return false;
            if (a == "--trusted-proxy")
                o.config.trustedProxies.push_back(v);
            else
                o.config.names.push_back(Lower(v));
        } else if (a == "--reset-password") {
            if (!value(o.resetPassword))
                return false;
        } else if (a == "--add-user") {
            if (!value(o.addUser))
                return false;
        } else if (a == "--remove-user") {
            if (!value(o.removeUser))
                return false;
        } else if (a == "--admin") {
            o.admin = true;
        } else if (a == "--behind-proxy") {
            o.config.behindProxy = true;
        } else if (a == "--list-users") {
            o.listUsers = true;
        } else if (a == "--help") {
            o.help = true;
        } else {
            error = "unknown argument " + a;
            return false;
        }
    }
    if (o.help)
        return true;
    const int commands =
        !o.addUser.empty() + !o.resetPassword.empty() + !o.removeUser.empty() + o.listUsers;
    if (o.config.conninfo.empty())
        error = "--db is required";
    else if (commands > 1)
        error = "--add-user, --reset-password, --remove-user and --list-users go alone";
    else if (o.admin && o.addUser.empty())
        error = "--admin goes with --add-user";
    else if (o.cert.empty() != o.key.empty())
        error = "--tls-cert and --tls-key go together";
    else if (!o.config.trustedProxies.empty() && !o.config.behindProxy)
        error = "--trusted-proxy goes with --behind-proxy";
    o.config.tls = !o.cert.empty();
    if (error.empty() && commands == 0 && !http::IsLoopback(o.host) && !o.config.Secure())
        error = "--listen " + o.host +
                " reaches other machines: sign-ins and cookies would cross the network in "
                "clear text; give --tls-cert and --tls-key, or --behind-proxy for a proxy "
                "that speaks HTTPS";
    return error.empty();
}

bool ReadFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
    return in.good() || in.eof();
}

int Fatal(const std::string& message) {
    std::fprintf(stderr, "quelma-web: %s\n", message.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    std::string error;
    std::vector<std::string> args;
    if (!config_file::Arguments(argc, argv, args, error))
        return Fatal(error);
    if (!Parse(args, o, error)) {
        std::fprintf(stderr, "quelma-web: %s\n%s", error.c_str(), kUsage);
        return 2;
    }
    if (o.help) {
        std::printf("%s", kUsage);
        return 0;
    }
    if (sodium_init() < 0)
        return Fatal("libsodium cannot start");
    pg::Connection db(o.config.conninfo);
    if (!db.Ok())
        return Fatal("cannot connect to the database: " + db.Error());
    if (!web::LoginRoleIsOnlyWeb(db, error))
        return Fatal(error);
    if (!web::ActAsWebRole(db, error))
        return Fatal("cannot act as the role quelma_web (GRANT quelma_web TO the login role, "
                     "after quelma-collect --init): " +
                     error);
    if (!schema::CheckCurrent(db, error))
        return Fatal(error);
    if (!o.addUser.empty())
        return accounts::Add(db, o.addUser, o.admin);
    if (!o.resetPassword.empty())
        return accounts::ResetPassword(db, o.resetPassword);
    if (!o.removeUser.empty())
        return accounts::Remove(db, o.removeUser);
    if (o.listUsers)
        return accounts::List(db);

    std::string cert, key;
    if (o.config.tls && (!ReadFile(o.cert, cert) || !ReadFile(o.key, key)))
        return Fatal("cannot read " + o.cert + " or " + o.key);
    o.config.port = o.port;
    o.config.names.push_back(Lower(o.host));
    if (http::IsLoopback(o.host))
        o.config.names.push_back("localhost");
    // The pool's threads inherit this mask: only the main thread takes SIGTERM and SIGINT.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    http::Limits limits;
    // Behind a proxy every connection comes from the proxy, which limits per browser itself.
    if (o.config.behindProxy)
        limits.perAddress = 0;
    http::Server server(web::Site(o.config), limits);
    if (!server.Start(o.host, o.port, cert, key, error))
        return Fatal(error);
    std::printf("quelma-web listening on %s://%s:%d\n", o.config.tls ? "https" : "http",
                o.host.c_str(), o.port);
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stop, &signal);
    // Requests under way are answered; new connections are not taken.
    server.Stop(10);
    std::printf("quelma-web stopped\n");
    return 0;
}
