#include "collect/pg.h"

namespace pg {

namespace {
constexpr size_t kCopyChunk = 1 << 20;
} // namespace

Param Text(std::string value) {
    return Param{std::move(value), false, false};
}

Param Bytes(const void* data, size_t size) {
    return Param{std::string(static_cast<const char*>(data), size), false, true};
}

Param Null() {
    return Param{{}, true, false};
}

namespace {

// Defaults the caller's connection string may override: a server that does not answer is
// given up after a while instead of stalling a run for hours on a half-open connection.
PGconn* ConnectWithTimeouts(const std::string& conninfo) {
    const char* const keys[] = {
        "connect_timeout",  "keepalives",       "keepalives_idle", "keepalives_interval",
        "keepalives_count", "tcp_user_timeout", "dbname",          nullptr};
    const char* const values[] = {"10", "1", "30", "10", "3", "60000", conninfo.c_str(), nullptr};
    return PQconnectdbParams(keys, values, 1);
}

} // namespace

Connection::Connection(const std::string& conninfo) : conn_(ConnectWithTimeouts(conninfo)) {
    Prepare();
}

void Connection::Prepare() {
    if (!Ok())
        return;
    // Station texts are converted to UTF-8 before they are sent.
    PQsetClientEncoding(conn_.get(), "UTF8");
    // "already exists, skipping" and the like are not for the operator.
    PQsetNoticeProcessor(
        conn_.get(), [](void*, const char*) {}, nullptr);
    // A commit need not wait for the disk: a server crash can lose only whole batches
    // together with the note of what they held, and the next run imports them again.
    Result(PQexec(conn_.get(), "SET synchronous_commit = off"));
}

bool Connection::Ok() const {
    return conn_ && PQstatus(conn_.get()) == CONNECTION_OK;
}

std::string Connection::Error() const {
    if (!lastError_.empty())
        return lastError_;
    std::string e = conn_ ? PQerrorMessage(conn_.get()) : "out of memory";
    while (!e.empty() && (e.back() == '\n' || e.back() == ' '))
        e.pop_back();
    return e;
}

bool Connection::Reset() {
    if (!conn_)
        return false;
    PQreset(conn_.get());
    Prepare();
    return Ok();
}

namespace {

std::string ResultError(PGconn* conn, const PGresult* r) {
    std::string e = r ? PQresultErrorMessage(r) : PQerrorMessage(conn);
    if (e.empty())
        e = PQerrorMessage(conn);
    while (!e.empty() && (e.back() == '\n' || e.back() == ' '))
        e.pop_back();
    return e;
}

} // namespace

bool Connection::Exec(const std::string& sql) {
    Result r(PQexec(conn_.get(), sql.c_str()));
    const ExecStatusType s = r ? PQresultStatus(r.get()) : PGRES_FATAL_ERROR;
    if (s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK) {
        lastError_.clear();
        return true;
    }
    lastError_ = ResultError(conn_.get(), r.get());
    return false;
}

Result Connection::Query(const std::string& sql, const std::vector<Param>& params) {
    std::vector<const char*> values;
    std::vector<int> lengths, formats;
    for (const Param& p : params) {
        values.push_back(p.null ? nullptr : p.value.data());
        lengths.push_back(static_cast<int>(p.value.size()));
        formats.push_back(p.binary ? 1 : 0);
    }
    Result r(PQexecParams(conn_.get(), sql.c_str(), static_cast<int>(params.size()), nullptr,
                          values.data(), lengths.data(), formats.data(), 0));
    const ExecStatusType s = r ? PQresultStatus(r.get()) : PGRES_FATAL_ERROR;
    if (s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK) {
        lastError_.clear();
        return r;
    }
    lastError_ = ResultError(conn_.get(), r.get());
    return nullptr;
}

void Connection::Rollback() {
    const std::string keep = lastError_;
    if (PQtransactionStatus(conn_.get()) != PQTRANS_IDLE)
        Exec("ROLLBACK");
    lastError_ = keep;
}

CopyIn::CopyIn(Connection& db, const std::string& copySql, Format format)
    : db_(db), format_(format) {
    Result r(PQexec(db.Get(), copySql.c_str()));
    ok_ = open_ = r && PQresultStatus(r.get()) == PGRES_COPY_IN;
    if (!ok_)
        error_ = ResultError(db.Get(), r.get());
    buffer_.reserve(kCopyChunk + 4096);
    if (format_ == Format::Binary) {
        // Signature, flags and header extension length.
        buffer_.append("PGCOPY\n\377\r\n\0", 11);
        PutBigEndian(0, 4);
        PutBigEndian(0, 4);
    }
}

void CopyIn::PutBigEndian(uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        buffer_ += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void CopyIn::BeginRow(int fields) {
    PutBigEndian(static_cast<uint64_t>(fields), 2);
}

void CopyIn::Field(const void* data, size_t size) {
    PutBigEndian(size, 4);
    if (size < kCopyChunk) {
        buffer_.append(static_cast<const char*>(data), size);
        if (buffer_.size() >= kCopyChunk)
            Send();
        return;
    }
    // A large value goes straight from the caller's memory.
    Send();
    ok_ = ok_ &&
          PQputCopyData(db_.Get(), static_cast<const char*>(data), static_cast<int>(size)) == 1;
}

void CopyIn::Int8(int64_t value) {
    PutBigEndian(8, 4);
    PutBigEndian(static_cast<uint64_t>(value), 8);
}

CopyIn::~CopyIn() {
    if (open_) {
        // An unfinished COPY is cancelled, so its transaction cannot commit half a batch.
        PQputCopyEnd(db_.Get(), "cancelled");
        while (Result(PQgetResult(db_.Get())))
            ;
    }
}

bool CopyIn::Send() {
    if (buffer_.empty())
        return ok_;
    ok_ = ok_ && PQputCopyData(db_.Get(), buffer_.data(), static_cast<int>(buffer_.size())) == 1;
    if (!ok_ && error_.empty())
        error_ = ResultError(db_.Get(), nullptr);
    buffer_.clear();
    return ok_;
}

bool CopyIn::Row(const std::string& row) {
    if (!ok_)
        return false;
    buffer_ += row;
    buffer_ += '\n';
    return buffer_.size() < kCopyChunk || Send();
}

bool CopyIn::End() {
    if (!open_)
        return false;
    if (format_ == Format::Binary)
        PutBigEndian(0xFFFF, 2); // trailer: a field count of -1
    Send();
    open_ = false;
    if (PQputCopyEnd(db_.Get(), ok_ ? nullptr : "send failed") != 1)
        ok_ = false;
    while (Result r{PQgetResult(db_.Get())})
        if (PQresultStatus(r.get()) != PGRES_COMMAND_OK) {
            ok_ = false;
            error_ = ResultError(db_.Get(), r.get());
        }
    return ok_;
}

std::string Value(const Result& r, int row, int col) {
    if (PQgetisnull(r.get(), row, col))
        return {};
    return std::string(PQgetvalue(r.get(), row, col),
                       static_cast<size_t>(PQgetlength(r.get(), row, col)));
}

std::vector<unsigned char> ByteaValue(const Result& r, int row, int col) {
    size_t n = 0;
    unsigned char* raw =
        PQunescapeBytea(reinterpret_cast<const unsigned char*>(PQgetvalue(r.get(), row, col)), &n);
    std::vector<unsigned char> bytes;
    if (raw)
        bytes.assign(raw, raw + n);
    PQfreemem(raw);
    return bytes;
}

} // namespace pg
