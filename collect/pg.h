// Thin RAII layer over libpq: one connection, results that free themselves, and COPY FROM
// STDIN for the bulk loads.
#pragma once

#include <libpq-fe.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pg {

struct ResultFree {
    void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultFree>;

// A parameter of a statement: text, or binary bytes for bytea.
struct Param {
    std::string value;
    bool null = false;
    bool binary = false;
};
Param Text(std::string value);
Param Bytes(const void* data, size_t size);
Param Null();

class Connection {
  public:
    // Connects with a libpq connection string or URI; Ok() tells whether it worked.
    explicit Connection(const std::string& conninfo);
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool Ok() const;
    std::string Error() const;
    PGconn* Get() const { return conn_.get(); }
    // After a lost connection, one attempt to connect again.
    bool Reset();

    // False (and Error() tells why) unless the command succeeded.
    bool Exec(const std::string& sql);
    // Rows of a query, or null when it failed.
    Result Query(const std::string& sql, const std::vector<Param>& params = {});
    bool Begin() { return Exec("BEGIN"); }
    bool Commit() { return Exec("COMMIT"); }
    void Rollback();

  private:
    void Prepare();

    struct Finish {
        void operator()(PGconn* c) const { PQfinish(c); }
    };
    std::unique_ptr<PGconn, Finish> conn_;
    std::string lastError_;
};

// One COPY ... FROM STDIN, in text format or, for large bytea values, in binary format (each
// row: its field count, then every field as its length and bytes, network byte order). Rows
// are gathered into large chunks before they go to the server; End() finishes the COPY and
// tells whether the server took every row.
class CopyIn {
  public:
    enum class Format { Text, Binary };
    CopyIn(Connection& db, const std::string& copySql, Format format = Format::Text);
    ~CopyIn();
    CopyIn(const CopyIn&) = delete;
    CopyIn& operator=(const CopyIn&) = delete;

    bool Ok() const { return ok_; }
    const std::string& Error() const { return error_; }
    // One row, already in COPY text form without its line feed.
    bool Row(const std::string& row);
    // Binary format: a row of `fields` fields follows, each given by Field or Int8.
    void BeginRow(int fields);
    void Field(const void* data, size_t size);
    void Field(const std::string& text) { Field(text.data(), text.size()); }
    void Int8(int64_t value);
    bool End();

  private:
    bool Send();
    void PutBigEndian(uint64_t value, int bytes);

    Connection& db_;
    Format format_;
    std::string buffer_;
    std::string error_;
    bool ok_ = false;
    bool open_ = false;
};

// Column `col` of row `row` as text ("" for NULL).
std::string Value(const Result& r, int row, int col);
// A bytea column fetched in text form, decoded.
std::vector<unsigned char> ByteaValue(const Result& r, int row, int col);

} // namespace pg
