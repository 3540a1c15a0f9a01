// The command-line side of the accounts: add, give a new password, remove, list.
#pragma once

#include "collect/pg.h"

#include <string>

namespace accounts {

// Reads the password from the terminal with echo off, asked twice, or as one line of
// standard input when that is no terminal. False with `error` set.
bool ReadPassword(std::string& password, std::string& error);

// Each prints what it did and returns the program's exit code.
int Add(pg::Connection& db, const std::string& name, bool admin);
// A new password ends the user's sessions.
int ResetPassword(pg::Connection& db, const std::string& name);
int Remove(pg::Connection& db, const std::string& name);
int List(pg::Connection& db);

} // namespace accounts
