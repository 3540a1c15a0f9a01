#include "web/accounts.h"

#include "web/query.h"
#include "web/session.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace accounts {

namespace {

constexpr size_t kMinPassword = 8;
constexpr size_t kMaxPassword = 100;

int Fail(const std::string& message) {
    std::fprintf(stderr, "quelma-web: %s\n", message.c_str());
    return 1;
}

// Echo stays off while the object lives.
class NoEcho {
  public:
    NoEcho() : ok_(tcgetattr(STDIN_FILENO, &saved_) == 0) {
        if (!ok_)
            return;
        termios quiet = saved_;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    ~NoEcho() {
        if (ok_)
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
    }
    NoEcho(const NoEcho&) = delete;
    NoEcho& operator=(const NoEcho&) = delete;

  private:
    termios saved_{};
    bool ok_;
};

std::string Prompt(const char* text) {
    std::fprintf(stderr, "%s", text);
    std::string line;
    {
        NoEcho quiet;
        std::getline(std::cin, line);
    }
    std::fprintf(stderr, "\n");
    return line;
}

} // namespace

bool ReadPassword(std::string& password, std::string& error) {
    if (isatty(STDIN_FILENO)) {
        password = Prompt("Password: ");
        if (Prompt("Password again: ") != password) {
            error = "the two passwords differ";
            return false;
        }
    } else if (!std::getline(std::cin, password)) {
        error = "no password on standard input";
        return false;
    }
    if (!password.empty() && password.back() == '\r')
        password.pop_back();
    if (password.size() < kMinPassword || password.size() > kMaxPassword) {
        error = "a password has " + std::to_string(kMinPassword) + " to " +
                std::to_string(kMaxPassword) + " characters";
        return false;
    }
    return true;
}

namespace {

// The password asked for, hashed; empty after printing why not.
std::string NewPasswordHash() {
    std::string password, error;
    if (!ReadPassword(password, error)) {
        Fail(error);
        return {};
    }
    const std::string hash = web::HashPassword(password);
    if (hash.empty())
        Fail("not enough memory to hash the password");
    return hash;
}

} // namespace

int Add(pg::Connection& db, const std::string& name, bool admin) {
    if (!query::IsAccountName(name))
        return Fail("a user name has 1 to 64 letters, digits or - _ . : # ( )");
    pg::Result r = db.Query("SELECT 1 FROM quelma.web_users WHERE name = $1", {pg::Text(name)});
    if (!r)
        return Fail("the database refused: " + db.Error());
    if (PQntuples(r.get()) != 0)
        return Fail("there is a user " + name + " already (--reset-password " + name +
                    " gives a new password)");
    const std::string hash = NewPasswordHash();
    if (hash.empty())
        return 1;
    if (!db.Query("INSERT INTO quelma.web_users (name, password_hash, admin) VALUES ($1, $2, $3)",
                  {pg::Text(name), pg::Text(hash), pg::Text(admin ? "true" : "false")}))
        return Fail("the database refused the user: " + db.Error());
    std::printf("added user %s%s\n", name.c_str(), admin ? " (administrator)" : "");
    return 0;
}

int ResetPassword(pg::Connection& db, const std::string& name) {
    const std::string hash = NewPasswordHash();
    if (hash.empty())
        return 1;
    pg::Result r = db.Query(
        "WITH u AS (UPDATE quelma.web_users SET password_hash = $2 WHERE name = $1 RETURNING "
        "name), s AS (DELETE FROM quelma.web_sessions WHERE user_name IN (SELECT name FROM u)) "
        "SELECT count(*) FROM u",
        {pg::Text(name), pg::Text(hash)});
    if (!r)
        return Fail("the database refused: " + db.Error());
    if (pg::Value(r, 0, 0) != "1")
        return Fail("no user " + name);
    std::printf("changed the password of %s and ended the user's sessions\n", name.c_str());
    return 0;
}

int Remove(pg::Connection& db, const std::string& name) {
    pg::Result r =
        db.Query("DELETE FROM quelma.web_users WHERE name = $1 RETURNING name", {pg::Text(name)});
    if (!r)
        return Fail("the database refused: " + db.Error());
    if (PQntuples(r.get()) == 0)
        return Fail("no user " + name);
    std::printf("removed user %s\n", name.c_str());
    return 0;
}

int List(pg::Connection& db) {
    pg::Result r = db.Query("SELECT name, admin, to_char(created, 'YYYY-MM-DD HH24:MI') FROM "
                            "quelma.web_users ORDER BY name");
    if (!r)
        return Fail("the database refused: " + db.Error());
    for (int i = 0; i < PQntuples(r.get()); ++i)
        std::printf("%s%s (added %s)\n", pg::Value(r, i, 0).c_str(),
                    pg::Value(r, i, 1) == "t" ? " administrator" : "", pg::Value(r, i, 2).c_str());
    return 0;
}

} // namespace accounts
