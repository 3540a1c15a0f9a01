// The HTTP side of quelma-web on GNU libmicrohttpd: requests as the pages see them, their
// responses, and the server with its limits on connections, time and request size.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

struct MHD_Daemon;

namespace http {

using Fields = std::multimap<std::string, std::string>;

struct Request {
    std::string method, path;
    Fields params; // query string, or the form of a POST
    std::map<std::string, std::string> headers, cookies;
    std::string peer; // the connection's address, numeric
    // The header's value, or empty; names in any case.
    std::string Header(const std::string& name) const;
    std::string Cookie(const std::string& name) const;
};

struct Response {
    int status = 200;
    std::string contentType = "text/html; charset=utf-8";
    std::string body;
    Fields headers;
    // Set for a body made while it is sent: each call gives the next piece, empty at the end;
    // false: the body broke off.
    std::function<bool(std::string& piece)> stream;

    void Redirect(const std::string& location) {
        status = 303;
        headers.emplace("Location", location);
    }
};

using Handler = std::function<void(const Request&, Response&)>;

struct Limits {
    unsigned workers = 4;
    unsigned connections = 2000;
    unsigned perAddress = 100; // 0: none, as behind a proxy every request has its address
    unsigned idleSeconds = 30;
    unsigned headerSeconds = 10;
};
constexpr size_t kMaxBody = 16 * 1024;

class Server {
  public:
    // `host` an address (v4 or v6) to listen on; `cert`/`key` PEM text for HTTPS, or empty.
    Server(Handler handler, Limits limits);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    bool Start(const std::string& host, int port, const std::string& cert, const std::string& key,
               std::string& error);
    // Takes no new connection, answers the requests under way (at most `seconds`), stops.
    void Stop(int seconds);

    struct State;

  private:
    std::unique_ptr<State> state_;
    MHD_Daemon* daemon_ = nullptr;
};

bool IsLoopback(const std::string& address);

} // namespace http
