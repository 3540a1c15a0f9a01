// The collector's tables and views in the schema "quelma", with a version number so that a
// later program can migrate a database made by an earlier one.
#pragma once

#include "collect/pg.h"

#include <string>

namespace schema {

// The version this program writes and expects.
int Latest();

// Creates or migrates the schema to Latest(); idempotent. False with `error` set when it
// could not (for instance a database already at a newer version).
bool Init(pg::Connection& db, std::string& error);

// True when the database keeps its text in UTF-8; otherwise `error` says what to do.
bool CheckEncoding(pg::Connection& db, std::string& error);

// True when the database is at Latest(); otherwise `error` says what to do.
bool CheckCurrent(pg::Connection& db, std::string& error);

} // namespace schema
