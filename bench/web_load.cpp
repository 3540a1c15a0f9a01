// Load on a quelma-web on this machine, for scripts/bench-web. Prints figures; asserts nothing.
//   web_load keepalive PORT COOKIE PATH CLIENTS SECONDS
//     CLIENTS kept-alive connections ask for PATH one request after the other: requests per
//     second, median and 99th percentile time, errors.
//   web_load slow PORT COOKIE PATH CONNECTIONS
//     CONNECTIONS connections from 127.0.0.2 on (50 per address) of which half sit idle and
//     half send a request header one byte each 100 ms; meanwhile the signed-in request is
//     timed five times. Everything is closed after 8 s at most.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// One socket, closed with the object.
class Socket {
  public:
    explicit Socket(int fd = -1) : fd_(fd) {}
    ~Socket() {
        if (fd_ >= 0)
            close(fd_);
    }
    Socket(Socket&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
    Socket& operator=(Socket&& o) noexcept {
        std::swap(fd_, o.fd_);
        return *this;
    }
    int fd() const { return fd_; }

  private:
    int fd_;
};

Socket Connect(int port, const char* from = nullptr) {
    Socket s(socket(AF_INET, SOCK_STREAM, 0));
    if (s.fd() < 0)
        return s;
    if (from) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        inet_pton(AF_INET, from, &local.sin_addr);
        if (bind(s.fd(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
            return Socket();
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
    if (connect(s.fd(), reinterpret_cast<sockaddr*>(&to), sizeof to) != 0)
        return Socket();
    int one = 1;
    setsockopt(s.fd(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return s;
}

std::string Request(int port, const std::string& cookie, const std::string& path) {
    return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
           "\r\nCookie: " + cookie + "\r\n\r\n";
}

// Sends the request and reads one whole response; its status, or 0 when the connection broke.
int Exchange(const Socket& s, const std::string& request) {
    if (send(s.fd(), request.data(), request.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(request.size()))
        return 0;
    std::string in;
    char buffer[65536];
    size_t headerEnd = std::string::npos, length = 0;
    while (true) {
        if (headerEnd == std::string::npos) {
            headerEnd = in.find("\r\n\r\n");
            if (headerEnd != std::string::npos) {
                const size_t at = in.find("Content-Length: ");
                if (at == std::string::npos || at > headerEnd)
                    return 0;
                length = std::stoul(in.substr(at + 16));
            }
        }
        if (headerEnd != std::string::npos && in.size() >= headerEnd + 4 + length)
            return std::stoi(in.substr(9, 3));
        const ssize_t n = recv(s.fd(), buffer, sizeof buffer, 0);
        if (n <= 0)
            return 0;
        in.append(buffer, static_cast<size_t>(n));
    }
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Percentile(std::vector<double>& v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

int KeepAlive(int port, const std::string& cookie, const std::string& path, int clients,
              int seconds) {
    const std::string request = Request(port, cookie, path);
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    std::mutex mutex;
    std::vector<double> times;
    std::atomic<int> errors{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c)
        threads.emplace_back([&] {
            std::vector<double> mine;
            Socket s = Connect(port);
            while (Clock::now() < end) {
                const auto start = Clock::now();
                if (Exchange(s, request) != 200) {
                    ++errors;
                    s = Connect(port);
                    continue;
                }
                mine.push_back(Ms(Clock::now() - start));
            }
            std::lock_guard lock(mutex);
            times.insert(times.end(), mine.begin(), mine.end());
        });
    for (auto& t : threads)
        t.join();
    const size_t n = times.size();
    std::printf("%d keep-alive clients on %s for %d s: %.0f requests/s, p50 %.1f ms, p99 %.1f "
                "ms, %d errors\n",
                clients, path.c_str(), seconds, static_cast<double>(n) / seconds,
                Percentile(times, 0.5), Percentile(times, 0.99), errors.load());
    return 0;
}

int Slow(int port, const std::string& cookie, const std::string& path, int connections) {
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    const auto stopAt = Clock::now() + std::chrono::seconds(8);
    std::vector<Socket> idle, dribbling;
    for (int i = 0; i < connections; ++i) {
        const std::string from = "127.0.0." + std::to_string(2 + i / 50);
        Socket s = Connect(port, from.c_str());
        if (s.fd() < 0)
            continue;
        (i % 2 ? dribbling : idle).push_back(std::move(s));
    }
    std::atomic<bool> done{false};
    const std::string header = Request(port, cookie, path);
    std::thread dribble([&] {
        for (size_t at = 0; !done && Clock::now() < stopAt && at < header.size() - 2; ++at) {
            for (const Socket& s : dribbling)
                send(s.fd(), header.data() + at, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    std::this_thread::sleep_for(std::chrono::seconds(1));
    std::vector<double> times;
    int errors = 0;
    for (int i = 0; i < 5 && Clock::now() < stopAt; ++i) {
        const auto start = Clock::now();
        Socket s = Connect(port);
        if (Exchange(s, header) == 200)
            times.push_back(Ms(Clock::now() - start));
        else
            ++errors;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    done = true;
    dribble.join();
    const double worst = times.empty() ? 0 : *std::max_element(times.begin(), times.end());
    std::printf("signed-in %s with %zu idle and %zu byte-by-byte connections open: median %.1f "
                "ms, worst %.1f ms over %zu requests, %d errors\n",
                path.c_str(), idle.size(), dribbling.size(), Percentile(times, 0.5), worst,
                times.size(), errors);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> a(argv + 1, argv + argc);
    if (a.size() == 6 && a[0] == "keepalive")
        return KeepAlive(std::stoi(a[1]), a[2], a[3], std::stoi(a[4]), std::stoi(a[5]));
    if (a.size() == 5 && a[0] == "slow")
        return Slow(std::stoi(a[1]), a[2], a[3], std::stoi(a[4]));
    std::fprintf(stderr, "usage: web_load keepalive PORT COOKIE PATH CLIENTS SECONDS\n"
                         "       web_load slow PORT COOKIE PATH CONNECTIONS\n");
    return 2;
}
