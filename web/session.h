// Passwords, session tokens and the brake on guessing, and each worker thread's database
// connection, which acts as the role quelma_web or is not used at all.
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
// False, with the GRANT to use in `error`, when the login role could change the measurements
// itself (superuser, owner, or by a grant to it or a role it belongs to).
bool LoginRoleIsOnlyWeb(pg::Connection& db, std::string& error);

// Argon2id in libsodium's string form; empty when out of memory.
std::string HashPassword(const std::string& password);
bool VerifyPassword(const std::string& hash, const std::string& password);
// `bytes` random bytes as hex.
std::string RandomHex(size_t bytes);
// SHA-256 of a session token, as stored: the token itself is never stored.
std::string TokenSha256(const std::string& token);
bool SameSecret(const std::string& a, const std::string& b);

// Failed sign-ins per (account, address) and per address, IPv6 addresses by their /64: a
// stranger's guesses hold back the stranger, not the account's owner elsewhere. Past the
// free failures each attempt waits twice as long as the one before (2 s up to 15 minutes).
// An attempt is reserved, counted as failed, before its password is checked, so a burst of
// parallel guesses gets no more tries than one after the other.
class Brake {
  public:
    using Clock = std::chrono::steady_clock;
    struct Verdict {
        int wait = 0;              // seconds; 0: the attempt is reserved
        bool firstRefusal = false; // the first attempt refused in this wait
        int refusedInLastWait = 0; // attempts refused in the wait that has just ended
    };
    Verdict Reserve(const std::string& user, const std::string& address, Clock::time_point now);
    // The reserved attempt was right: the pair starts afresh, the address owes nothing for it.
    void Succeeded(const std::string& user, const std::string& address);
    size_t Size();
    // The part of an address that names one client: IPv4 whole, IPv6 its /64.
    static std::string ClientKey(const std::string& address);

  private:
    struct Entry {
        int failures = 0;
        int refused = 0;
        Clock::time_point last;
    };
    int WaitFor(const std::string& key, int free, Clock::time_point now);
    Entry& At(const std::string& key, Clock::time_point now);
    std::mutex mutex_;
    std::map<std::string, Entry> entries_;
};

struct Session {
    std::string user;
    std::string csrf;
    bool admin = false;
};

} // namespace web
