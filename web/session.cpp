#include "web/session.h"

#include "web/html.h"

#include <arpa/inet.h>
#include <sodium.h>

#include <cstdio>
#include <cstring>

#include <algorithm>
#include <memory>
#include <vector>

namespace web {

pg::Connection* Db(const std::string& conninfo) {
    thread_local std::unique_ptr<pg::Connection> db;
    if (db && db->Ok())
        return db.get();
    std::string error;
    db = std::make_unique<pg::Connection>(conninfo);
    if (db->Ok() && ActAsWebRole(*db, error))
        return db.get();
    // A connection that could not drop the login role's rights is never used.
    std::fprintf(stderr, "quelma-web: database: %s\n",
                 db->Ok() ? error.c_str() : db->Error().c_str());
    db.reset();
    return nullptr;
}

bool ActAsWebRole(pg::Connection& db, std::string& error) {
    // The access log is a record: its commits wait for the disk, unlike the collector's. No
    // statement may hold a worker for long.
    if (db.Exec("SET ROLE quelma_web") && db.Exec("SET synchronous_commit = on") &&
        db.Exec("SET statement_timeout = '10s'"))
        return true;
    error = db.Error();
    return false;
}

bool LoginRoleIsOnlyWeb(pg::Connection& db, std::string& error) {
    pg::Result r = db.Query(
        "SELECT session_user, string_agg(r.rolname, ', ' ORDER BY r.rolname) FROM pg_roles r "
        "WHERE pg_has_role(session_user, r.oid, 'MEMBER') AND (r.rolsuper OR "
        "has_table_privilege(r.oid, 'quelma.measurements', 'INSERT, UPDATE, DELETE, TRUNCATE'))");
    if (!r) {
        error = db.Error();
        return false;
    }
    if (pg::Value(r, 0, 1).empty())
        return true;
    const std::string login = pg::Value(r, 0, 0);
    error = "the login role " + login + " may change quelma.measurements itself (as " +
            pg::Value(r, 0, 1) +
            "); give quelma-web a login role that is only a member of quelma_web: CREATE ROLE "
            "quelma_web_login LOGIN; GRANT quelma_web TO quelma_web_login;";
    return false;
}

std::string HashPassword(const std::string& password) {
    char hash[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(hash, password.data(), password.size(),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        return {};
    return hash;
}

bool VerifyPassword(const std::string& hash, const std::string& password) {
    return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

std::string RandomHex(size_t bytes) {
    std::string buffer(bytes, '\0');
    randombytes_buf(buffer.data(), bytes);
    return html::Hex(buffer.data(), bytes);
}

std::string TokenSha256(const std::string& token) {
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(token.data()), token.size());
    return std::string(reinterpret_cast<char*>(digest), sizeof digest);
}

bool SameSecret(const std::string& a, const std::string& b) {
    return a.size() == b.size() && sodium_memcmp(a.data(), b.data(), a.size()) == 0;
}

namespace {
constexpr int kPairFreeFailures = 2;
constexpr int kAddressFreeFailures = 10;
constexpr int kMaxWaitSeconds = 15 * 60;
constexpr size_t kMaxEntries = 10000;
} // namespace

std::string Brake::ClientKey(const std::string& address) {
    in6_addr v6{};
    if (inet_pton(AF_INET6, address.c_str(), &v6) != 1)
        return address;
    std::memset(v6.s6_addr + 8, 0, 8);
    char text[INET6_ADDRSTRLEN] = "";
    inet_ntop(AF_INET6, &v6, text, sizeof text);
    return std::string(text) + "/64";
}

int Brake::WaitFor(const std::string& key, int free, Clock::time_point now) {
    auto it = entries_.find(key);
    if (it == entries_.end() || it->second.failures <= free)
        return 0;
    const int doublings = std::min(it->second.failures - free, 10);
    const auto wait = std::chrono::seconds(std::min(1 << doublings, kMaxWaitSeconds));
    const auto left = it->second.last + wait - now;
    if (left <= Clock::duration::zero())
        return 0;
    return static_cast<int>(std::chrono::ceil<std::chrono::seconds>(left).count());
}

Brake::Entry& Brake::At(const std::string& key, Clock::time_point now) {
    if (entries_.size() >= kMaxEntries && !entries_.count(key)) {
        // Forget what no longer holds anybody back; when guessing still fills the table, the
        // entry idle for longest goes.
        std::erase_if(entries_, [&](const auto& kv) {
            return now - kv.second.last > std::chrono::seconds(kMaxWaitSeconds);
        });
        if (entries_.size() >= kMaxEntries * 3 / 4) {
            // The quarter idle for longest goes at once, so a flood does not sort per try.
            std::vector<Clock::time_point> times;
            for (const auto& kv : entries_)
                times.push_back(kv.second.last);
            auto cut = times.begin() + static_cast<std::ptrdiff_t>(times.size() / 4);
            std::nth_element(times.begin(), cut, times.end());
            std::erase_if(entries_, [&](const auto& kv) { return kv.second.last <= *cut; });
        }
    }
    return entries_[key];
}

Brake::Verdict Brake::Reserve(const std::string& user, const std::string& address,
                              Clock::time_point now) {
    const std::string client = "a:" + ClientKey(address);
    const std::string pair = "p:" + ClientKey(address) + " " + user;
    std::lock_guard lock(mutex_);
    Verdict v;
    const int pairWait = WaitFor(pair, kPairFreeFailures, now);
    v.wait = std::max(pairWait, WaitFor(client, kAddressFreeFailures, now));
    if (v.wait) {
        Entry& holder = entries_[pairWait ? pair : client];
        v.firstRefusal = ++holder.refused == 1;
        return v;
    }
    for (const std::string& key : {pair, client}) {
        Entry& e = At(key, now);
        v.refusedInLastWait = std::max(v.refusedInLastWait, e.refused);
        e.refused = 0;
        ++e.failures;
        e.last = now;
    }
    return v;
}

void Brake::Succeeded(const std::string& user, const std::string& address) {
    std::lock_guard lock(mutex_);
    entries_.erase("p:" + ClientKey(address) + " " + user);
    auto it = entries_.find("a:" + ClientKey(address));
    if (it != entries_.end() && it->second.failures > 0)
        --it->second.failures;
}

size_t Brake::Size() {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

} // namespace web
