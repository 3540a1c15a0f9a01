#include "web/session.h"

#include "web/html.h"

#include <sodium.h>

#include <algorithm>
#include <memory>

namespace web {

pg::Connection* Db(const std::string& conninfo) {
    thread_local std::unique_ptr<pg::Connection> db;
    if (db && db->Ok())
        return db.get();
    std::string error;
    if (!db || !db->Reset())
        db = std::make_unique<pg::Connection>(conninfo);
    if (!db->Ok() || !ActAsWebRole(*db, error))
        return nullptr;
    return db.get();
}

bool ActAsWebRole(pg::Connection& db, std::string& error) {
    // The access log is a record: its commits wait for the disk, unlike the collector's.
    if (db.Exec("SET ROLE quelma_web") && db.Exec("SET synchronous_commit = on"))
        return true;
    error = db.Error();
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
constexpr int kFreeFailures = 2;
constexpr int kMaxWaitSeconds = 15 * 60;
} // namespace

int Throttle::WaitFor(const std::string& key, Clock::time_point now) {
    auto it = entries_.find(key);
    if (it == entries_.end() || it->second.failures <= kFreeFailures)
        return 0;
    const int doublings = std::min(it->second.failures - kFreeFailures, 10);
    const auto wait = std::chrono::seconds(std::min(1 << doublings, kMaxWaitSeconds));
    const auto left = it->second.last + wait - now;
    if (left <= Clock::duration::zero())
        return 0;
    return static_cast<int>(std::chrono::ceil<std::chrono::seconds>(left).count());
}

int Throttle::Wait(const std::string& user, const std::string& address, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    return std::max(WaitFor("u:" + user, now), WaitFor("a:" + address, now));
}

void Throttle::Failed(const std::string& user, const std::string& address, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    for (const std::string& key : {"u:" + user, "a:" + address}) {
        Entry& e = entries_[key];
        ++e.failures;
        e.last = now;
    }
    // Forget keys idle for longer than the longest wait, so guessing cannot fill memory.
    if (entries_.size() > 10000)
        std::erase_if(entries_, [&](const auto& kv) {
            return now - kv.second.last > std::chrono::seconds(kMaxWaitSeconds);
        });
}

void Throttle::Succeeded(const std::string& user) {
    std::lock_guard lock(mutex_);
    entries_.erase("u:" + user);
}

} // namespace web
