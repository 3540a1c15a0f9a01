#include "web/http.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

namespace http {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string NumericAddress(const sockaddr* address) {
    char host[NI_MAXHOST] = "";
    const socklen_t size =
        address->sa_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
    if (getnameinfo(address, size, host, sizeof host, nullptr, 0, NI_NUMERICHOST) != 0)
        return "?";
    std::string text = host;
    // A v4 client of a v6 socket is shown as itself.
    if (text.rfind("::ffff:", 0) == 0 && text.find('.') != std::string::npos)
        text = text.substr(7);
    return text;
}

} // namespace

std::string Request::Header(const std::string& name) const {
    auto it = headers.find(Lower(name));
    return it == headers.end() ? std::string() : it->second;
}

std::string Request::Cookie(const std::string& name) const {
    auto it = cookies.find(name);
    return it == cookies.end() ? std::string() : it->second;
}

bool IsLoopback(const std::string& address) {
    in_addr v4{};
    in6_addr v6{};
    if (inet_pton(AF_INET, address.c_str(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    return inet_pton(AF_INET6, address.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

// What one request gathers until it is answered.
struct Exchange {
    Request request;
    MHD_PostProcessor* form = nullptr;
    size_t bodyBytes = 0;
    bool refused = false;
    ~Exchange() {
        if (form)
            MHD_destroy_post_processor(form);
    }
};

struct Server::State {
    Handler handler;
    Limits limits;
    // Requests between their headers and their last byte sent, for a stop that lets them end.
    std::mutex mutex;
    std::condition_variable idle;
    int underWay = 0;
    // Connections waiting for (the rest of) a request's headers, since when: a client that
    // sends them byte by byte never looks inactive, so it is cut off at a deadline.
    struct Waiting {
        int fd;
        std::chrono::steady_clock::time_point since;
    };
    std::map<MHD_Connection*, Waiting> waiting;
    std::atomic<bool> stopping{false};
    std::thread reaper;
};

namespace {

using State = Server::State;
using Clock = std::chrono::steady_clock;

MHD_Result Queue(MHD_Connection* connection, Response& res) {
    MHD_Response* r = nullptr;
    if (res.stream) {
        // The piece not yet taken by MHD lives with the callback.
        struct Pending {
            std::function<bool(std::string&)> next;
            std::string piece;
            size_t at = 0;
        };
        auto* pending = new Pending{std::move(res.stream), {}, 0};
        r = MHD_create_response_from_callback(
            MHD_SIZE_UNKNOWN, 32 * 1024,
            [](void* cls, uint64_t, char* buf, size_t max) -> ssize_t {
                auto* p = static_cast<Pending*>(cls);
                while (p->at == p->piece.size()) {
                    p->piece.clear();
                    p->at = 0;
                    if (!p->next(p->piece))
                        return MHD_CONTENT_READER_END_WITH_ERROR;
                    if (p->piece.empty())
                        return MHD_CONTENT_READER_END_OF_STREAM;
                }
                const size_t n = std::min(max, p->piece.size() - p->at);
                std::memcpy(buf, p->piece.data() + p->at, n);
                p->at += n;
                return static_cast<ssize_t>(n);
            },
            pending, [](void* cls) { delete static_cast<Pending*>(cls); });
    } else {
        r = MHD_create_response_from_buffer(res.body.size(), res.body.data(),
                                            MHD_RESPMEM_MUST_COPY);
    }
    if (!r)
        return MHD_NO;
    MHD_add_response_header(r, "Content-Type", res.contentType.c_str());
    for (const auto& [name, value] : res.headers)
        MHD_add_response_header(r, name.c_str(), value.c_str());
    const MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned>(res.status), r);
    MHD_destroy_response(r);
    return queued;
}

MHD_Result Refuse(MHD_Connection* connection, int status, const char* text) {
    Response res;
    res.status = status;
    res.contentType = "text/plain; charset=utf-8";
    res.body = text;
    res.headers.emplace("Connection", "close");
    return Queue(connection, res);
}

MHD_Result CollectField(void* cls, MHD_ValueKind, const char* key, size_t keySize,
                        const char* value, size_t valueSize) {
    auto* fields = static_cast<std::map<std::string, std::string>*>(cls);
    fields->emplace(std::string(key, keySize), value ? std::string(value, valueSize) : "");
    return MHD_YES;
}

MHD_Result CollectParam(void* cls, MHD_ValueKind, const char* key, size_t keySize,
                        const char* value, size_t valueSize) {
    static_cast<Fields*>(cls)->emplace(std::string(key, keySize),
                                       value ? std::string(value, valueSize) : "");
    return MHD_YES;
}

MHD_Result CollectFormPiece(void* cls, MHD_ValueKind, const char* key, const char*, const char*,
                            const char*, const char* data, uint64_t off, size_t size) {
    auto* params = static_cast<Fields*>(cls);
    // A long value comes in pieces; the first piece starts a new field, so a repeated name
    // stays visible as two fields.
    if (off == 0 || params->empty())
        params->emplace(key, std::string(data ? data : "", size));
    else
        std::prev(params->end())->second.append(data ? data : "", size);
    return MHD_YES;
}

void HeadersDone(State& s, MHD_Connection* connection) {
    std::lock_guard lock(s.mutex);
    s.waiting.erase(connection);
    ++s.underWay;
}

MHD_Result Access(void* cls, MHD_Connection* connection, const char* url, const char* method,
                  const char*, const char* upload, size_t* uploadSize, void** context) {
    auto& s = *static_cast<State*>(cls);
    auto* x = static_cast<Exchange*>(*context);
    if (!x) {
        HeadersDone(s, connection);
        x = new Exchange;
        *context = x;
        Request& req = x->request;
        req.method = method;
        req.path = url;
        MHD_get_connection_values_n(connection, MHD_HEADER_KIND, CollectField, &req.headers);
        std::map<std::string, std::string> lowered;
        for (auto& [name, value] : req.headers)
            lowered.emplace(Lower(name), value);
        req.headers = std::move(lowered);
        MHD_get_connection_values_n(connection, MHD_COOKIE_KIND, CollectField, &req.cookies);
        MHD_get_connection_values_n(connection, MHD_GET_ARGUMENT_KIND, CollectParam, &req.params);
        const MHD_ConnectionInfo* info =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
        req.peer = info ? NumericAddress(info->client_addr) : "?";
        // A body too large is refused before a byte of it is read.
        const char* length =
            MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Content-Length");
        if (length && std::strtoull(length, nullptr, 10) > kMaxBody) {
            x->refused = true;
            return Refuse(connection, 413, "Request body too large.\n");
        }
        if (req.method == "POST") {
            x->form = MHD_create_post_processor(connection, 1024, CollectFormPiece, &req.params);
            if (!x->form) {
                x->refused = true;
                return Refuse(connection, 415, "Only form posts are taken.\n");
            }
        }
        return MHD_YES;
    }
    if (*uploadSize) {
        x->bodyBytes += *uploadSize;
        if (!x->refused && x->bodyBytes > kMaxBody) {
            x->refused = true;
            return Refuse(connection, 413, "Request body too large.\n");
        }
        if (!x->refused && x->form && MHD_post_process(x->form, upload, *uploadSize) != MHD_YES) {
            x->refused = true;
            return Refuse(connection, 400, "Malformed form.\n");
        }
        *uploadSize = 0;
        return MHD_YES;
    }
    if (x->refused)
        return MHD_YES;
    Response res;
    try {
        s.handler(x->request, res);
    } catch (const std::exception&) {
        res = Response{};
        res.status = 500;
        res.contentType = "text/plain; charset=utf-8";
        res.body = "Something went wrong.\n";
    }
    return Queue(connection, res);
}

void Completed(void* cls, MHD_Connection* connection, void** context, MHD_RequestTerminationCode) {
    auto& s = *static_cast<State*>(cls);
    auto* x = static_cast<Exchange*>(*context);
    if (!x)
        return;
    delete x;
    *context = nullptr;
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    std::lock_guard lock(s.mutex);
    --s.underWay;
    s.idle.notify_all();
    // A kept-alive connection has as long for its next request's headers as for its first.
    if (info)
        s.waiting[connection] = {info->connect_fd, Clock::now()};
}

void Connected(void* cls, MHD_Connection* connection, void**, MHD_ConnectionNotificationCode code) {
    auto& s = *static_cast<State*>(cls);
    std::lock_guard lock(s.mutex);
    if (code == MHD_CONNECTION_NOTIFY_CLOSED) {
        s.waiting.erase(connection);
        return;
    }
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    if (info)
        s.waiting[connection] = {info->connect_fd, Clock::now()};
}

// Once a second: connections whose headers are overdue are shut down; libmicrohttpd then
// sees the end of the stream and lets them go.
void Reap(State& s) {
    while (!s.stopping) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        std::lock_guard lock(s.mutex);
        const auto deadline = Clock::now() - std::chrono::seconds(s.limits.headerSeconds);
        for (auto it = s.waiting.begin(); it != s.waiting.end();)
            if (it->second.since < deadline) {
                shutdown(it->second.fd, SHUT_RDWR);
                it = s.waiting.erase(it);
            } else {
                ++it;
            }
    }
}

} // namespace

Server::Server(Handler handler, Limits limits) : state_(std::make_unique<State>()) {
    state_->handler = std::move(handler);
    state_->limits = limits;
}

Server::~Server() {
    Stop(0);
}

bool Server::Start(const std::string& host, int port, const std::string& cert,
                   const std::string& key, std::string& error) {
    addrinfo hints{}, *found = nullptr;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    const std::string service = std::to_string(port);
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || !found) {
        error = "cannot find the address " + host;
        return false;
    }
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> address(found, freeaddrinfo);
    unsigned flags =
        MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_USE_ITC | MHD_USE_ERROR_LOG;
    if (found->ai_family == AF_INET6)
        flags |= MHD_USE_IPv6;
    if (!cert.empty()) {
        if (MHD_is_feature_supported(MHD_FEATURE_TLS) != MHD_YES) {
            error = "this libmicrohttpd has no TLS";
            return false;
        }
        flags |= MHD_USE_TLS;
    }
    // A thread of the pool answers a request while its other connections wait; idle ones
    // cost no thread.
    const Limits& l = state_->limits;
    State* s = state_.get();
    MHD_OptionItem tls[] = {{cert.empty() ? MHD_OPTION_END : MHD_OPTION_HTTPS_MEM_CERT, 0,
                             const_cast<char*>(cert.c_str())},
                            {MHD_OPTION_HTTPS_MEM_KEY, 0, const_cast<char*>(key.c_str())},
                            {MHD_OPTION_END, 0, nullptr}};
    daemon_ = MHD_start_daemon(
        flags, static_cast<uint16_t>(port), nullptr, nullptr, Access, s, MHD_OPTION_SOCK_ADDR,
        found->ai_addr, MHD_OPTION_THREAD_POOL_SIZE, l.workers, MHD_OPTION_CONNECTION_LIMIT,
        l.connections, MHD_OPTION_PER_IP_CONNECTION_LIMIT, l.perAddress,
        MHD_OPTION_CONNECTION_TIMEOUT, l.idleSeconds, MHD_OPTION_CONNECTION_MEMORY_LIMIT,
        static_cast<size_t>(32 * 1024), MHD_OPTION_LISTEN_BACKLOG_SIZE, 1024u,
        MHD_OPTION_NOTIFY_COMPLETED, Completed, s, MHD_OPTION_NOTIFY_CONNECTION, Connected, s,
        MHD_OPTION_ARRAY, tls, MHD_OPTION_END);
    if (!daemon_) {
        error = "cannot listen on " + host + ":" + service +
                (cert.empty() ? "" : " (or the certificate and key do not fit)");
        return false;
    }
    state_->reaper = std::thread(Reap, std::ref(*state_));
    return true;
}

void Server::Stop(int seconds) {
    if (!daemon_)
        return;
    const MHD_socket listener = MHD_quiesce_daemon(daemon_);
    {
        std::unique_lock lock(state_->mutex);
        state_->idle.wait_for(lock, std::chrono::seconds(seconds),
                              [&] { return state_->underWay == 0; });
    }
    MHD_stop_daemon(daemon_);
    daemon_ = nullptr;
    if (listener != MHD_INVALID_SOCKET)
        close(listener);
    state_->stopping = true;
    if (state_->reaper.joinable())
        state_->reaper.join();
}

} // namespace http
