// Passwords, session tokens and the brake on guessing, and each worker thread's database
// connection, which acts as the read-only role quelma_web.
#pragma once

#include "collect/pg.h"

#include <chrono>
#include <map>
#include <mutex>
#include <string>

namespace web {

// The calling thread's connection, connected again when it was lost; null when the database
// cannot be reached.
pg::Connection* Db(const std::string& conninfo);
// Drops the login role's rights for those of quelma_web, for the rest of the connection.
bool ActAsWebRole(pg::Connection& db, std::string& error);

// Argon2id in libsodium's string form; empty when out of memory.
std::string HashPassword(const std::string& password);
bool VerifyPassword(const std::string& hash, const std::string& password);
// `bytes` random bytes as hex.
std::string RandomHex(size_t bytes);
// SHA-256 of a session token, as stored: the token itself is never stored.
std::string TokenSha256(const std::string& token);
bool SameSecret(const std::string& a, const std::string& b);

// Failed sign-ins per account and per address. From the third failure on, the next attempt
// waits twice as long as the one before (2 s, 4 s, ... up to 15 minutes).
class Throttle {
  public:
    using Clock = std::chrono::steady_clock;
    // Seconds to wait before the next attempt may be checked; 0: now.
    int Wait(const std::string& user, const std::string& address, Clock::time_point now);
    void Failed(const std::string& user, const std::string& address, Clock::time_point now);
    void Succeeded(const std::string& user);

  private:
    struct Entry {
        int failures = 0;
        Clock::time_point last;
    };
    int WaitFor(const std::string& key, Clock::time_point now);
    std::mutex mutex_;
    std::map<std::string, Entry> entries_;
};

struct Session {
    std::string user;
    std::string csrf;
    bool admin = false;
};

} // namespace web
