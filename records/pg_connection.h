#pragma once
// One connection to the line's PostgreSQL database through libpq.
//
// The URL is handed to libpq as it is ("postgresql://..." or "key=value ..."), so passwords come
// from ~/.pgpass, PGPASSFILE or the environment as libpq finds them and TLS follows "sslmode".
// Defaults the URL may override: a connect timeout and TCP keepalives, so that a vanished
// network ends a call with an error instead of hanging the shipping thread.
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

// One result set, cleared with the object.
class PgResult {
 public:
  explicit PgResult(pg_result* result = nullptr) : result_(result) {}
  ~PgResult();
  PgResult(PgResult&& other) noexcept : result_(other.result_) { other.result_ = nullptr; }
  PgResult& operator=(PgResult&& other) noexcept;
  PgResult(const PgResult&) = delete;
  PgResult& operator=(const PgResult&) = delete;

  int Rows() const;
  std::string Text(int row, int column) const;
  long long Int(int row, int column) const;
  bool IsNull(int row, int column) const;

 private:
  pg_result* result_;
};

class PgConnection {
 public:
  PgConnection() = default;
  ~PgConnection();
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  // Connects (closing an earlier connection first). False with Error() when refused.
  bool Open(const std::string& url);
  bool IsOpen() const { return conn_ != nullptr; }
  void Close();

  // A statement without results (or several, separated by ";"). False with Error().
  bool Exec(const std::string& sql);
  // A statement with text parameters $1, $2, ... giving rows. False with Error().
  bool Query(const std::string& sql, const std::vector<std::string>& params, PgResult& rows);
  // COPY ... FROM STDIN with the rows in COPY's text format. False with Error().
  bool CopyIn(const std::string& copySql, const std::string& data);
  // Rolls an open transaction back; does nothing when none is open.
  void RollbackIfOpen();

  // The server's or libpq's last message, on one line.
  const std::string& Error() const { return error_; }
  // "host:port/database" of the open connection, never a password: the shipping target's name.
  std::string Target() const;

 private:
  bool Failed(const char* message);

  pg_conn* conn_ = nullptr;
  std::string error_;
};

// The URL for people to read: its user, host, port and database, never its password.
// "postgresql://station@line-db:5432/trail"; a URL libpq cannot read is shown as "(bad URL)".
std::string PgUrlForLog(const std::string& url);

// A value in COPY's text format: backslash, tab, line feed and carriage return escaped. Bytes
// that are not UTF-8 become U+FFFD and NUL is dropped, here and in TextArray.
void AppendCopyText(std::string& line, const std::string& value);
// A text[] literal for a statement's parameter: "{"a","b\"c"}".
std::string TextArray(const std::vector<std::string>& values);
