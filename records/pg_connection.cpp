#include "records/pg_connection.h"

#include <libpq-fe.h>

#include <cstdlib>
#include <memory>

namespace {
// Seconds; the URL's own values win because libpq takes the last of repeated keywords and
// the URL comes last.
constexpr const char* kDefaultKeys[] = {
    "connect_timeout",  "keepalives_idle",  "keepalives_interval", "keepalives_count",
    "tcp_user_timeout", "application_name", "client_encoding",     "dbname"};
constexpr const char* kDefaultValues[] = {"10", "10", "5", "3", "30000", "gangprog", "UTF8"};
constexpr int kDefaultCount = 7;

// libpq's messages end in a line break and continue on indented lines.
std::string OneLine(const char* text) {
  std::string line;
  for (const char* c = text ? text : ""; *c; ++c) {
    const bool blank = *c == '\n' || *c == '\t' || *c == ' ';
    if (!blank) {
      line += *c;
    } else if (!line.empty() && line.back() != ' ') {
      line += ' ';
    }
  }
  if (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

struct ConninfoFree {
  void operator()(PQconninfoOption* options) const { PQconninfoFree(options); }
};
}  // namespace

PgResult::~PgResult() {
  PQclear(result_);
}

PgResult& PgResult::operator=(PgResult&& other) noexcept {
  if (this != &other) {
    PQclear(result_);
    result_ = other.result_;
    other.result_ = nullptr;
  }
  return *this;
}

int PgResult::Rows() const {
  return result_ ? PQntuples(result_) : 0;
}

std::string PgResult::Text(int row, int column) const {
  return std::string(PQgetvalue(result_, row, column),
                     static_cast<std::size_t>(PQgetlength(result_, row, column)));
}

long long PgResult::Int(int row, int column) const {
  return std::strtoll(PQgetvalue(result_, row, column), nullptr, 10);
}

bool PgResult::IsNull(int row, int column) const {
  return PQgetisnull(result_, row, column) != 0;
}

PgConnection::~PgConnection() {
  Close();
}

void PgConnection::Close() {
  PQfinish(conn_);
  conn_ = nullptr;
}

bool PgConnection::Open(const std::string& url) {
  Close();
  const char* keys[kDefaultCount + 2];
  const char* values[kDefaultCount + 2];
  for (int i = 0; i < kDefaultCount; ++i) {
    keys[i] = kDefaultKeys[i];
    values[i] = kDefaultValues[i];
  }
  keys[kDefaultCount] = kDefaultKeys[kDefaultCount];
  values[kDefaultCount] = url.c_str();
  keys[kDefaultCount + 1] = nullptr;
  values[kDefaultCount + 1] = nullptr;
  conn_ = PQconnectdbParams(keys, values, 1);
  if (conn_ && PQstatus(conn_) == CONNECTION_OK) return true;
  const bool failed = Failed(conn_ ? PQerrorMessage(conn_) : "out of memory");
  Close();
  return failed;
}

bool PgConnection::Exec(const std::string& sql) {
  if (!conn_) return Failed("not connected");
  PGresult* raw = PQexec(conn_, sql.c_str());
  const ExecStatusType status = PQresultStatus(raw);
  const PgResult owner(raw);
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return true;
  return Failed(PQerrorMessage(conn_));
}

bool PgConnection::Query(const std::string& sql, const std::vector<std::string>& params,
                         PgResult& rows) {
  if (!conn_) return Failed("not connected");
  std::vector<const char*> values;
  for (const std::string& param : params) values.push_back(param.c_str());
  PGresult* raw = PQexecParams(conn_, sql.c_str(), static_cast<int>(values.size()), nullptr,
                               values.data(), nullptr, nullptr, 0);
  const ExecStatusType status = PQresultStatus(raw);
  rows = PgResult(raw);
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return true;
  return Failed(PQerrorMessage(conn_));
}

bool PgConnection::CopyIn(const std::string& copySql, const std::string& data) {
  if (!conn_) return Failed("not connected");
  PGresult* start = PQexec(conn_, copySql.c_str());
  const ExecStatusType startStatus = PQresultStatus(start);
  PQclear(start);
  if (startStatus != PGRES_COPY_IN) return Failed(PQerrorMessage(conn_));
  const bool sent = PQputCopyData(conn_, data.data(), static_cast<int>(data.size())) == 1;
  if (PQputCopyEnd(conn_, sent ? nullptr : "the data could not be sent") != 1) {
    return Failed(PQerrorMessage(conn_));
  }
  bool ok = sent;
  while (PGresult* end = PQgetResult(conn_)) {
    if (PQresultStatus(end) != PGRES_COMMAND_OK) ok = false;
    PQclear(end);
  }
  return ok || Failed(PQerrorMessage(conn_));
}

void PgConnection::RollbackIfOpen() {
  if (conn_ && PQtransactionStatus(conn_) != PQTRANS_IDLE) {
    PQclear(PQexec(conn_, "ROLLBACK"));
  }
}

std::string PgConnection::Target() const {
  if (!conn_) return {};
  return std::string(PQhost(conn_)) + ":" + PQport(conn_) + "/" + PQdb(conn_);
}

bool PgConnection::Failed(const char* message) {
  error_ = OneLine(message);
  return false;
}

std::string PgUrlForLog(const std::string& url) {
  const std::unique_ptr<PQconninfoOption, ConninfoFree> options(
      PQconninfoParse(url.c_str(), nullptr));
  if (!options) return "(bad URL)";
  std::string user, host, port, dbname;
  for (const PQconninfoOption* o = options.get(); o->keyword; ++o) {
    const std::string key = o->keyword;
    const std::string value = o->val ? o->val : "";
    if (key == "user") user = value;
    if (key == "host") host = value;
    if (key == "port") port = value;
    if (key == "dbname") dbname = value;
  }
  std::string text = "postgresql://";
  if (!user.empty()) text += user + "@";
  // A socket folder as host would read like a path: it goes in the query, as libpq writes it.
  const bool socket = !host.empty() && host.front() == '/';
  if (!socket) text += host;
  if (!port.empty()) text += ":" + port;
  text += "/" + dbname;
  if (socket) text += "?host=" + host;
  return text;
}

namespace {
// The length of the valid UTF-8 sequence at `at`, or 0.
std::size_t Utf8Length(const std::string& text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  std::size_t length = 0;
  unsigned min = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF)
    length = 2, min = 0x80;
  else if (lead >= 0xE0 && lead <= 0xEF)
    length = 3, min = 0x800;
  else if (lead >= 0xF0 && lead <= 0xF4)
    length = 4, min = 0x10000;
  else
    return 0;
  if (at + length > text.size()) return 0;
  unsigned code = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(at + i) & 0x3F);
  }
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  return code >= min && code <= 0x10FFFF && !surrogate ? length : 0;
}

// The server refuses a whole batch for one byte that is not UTF-8 (a file name from another
// code page); such bytes become U+FFFD, and NUL, which no text column can hold, is dropped.
// Every other single byte goes through `escape`.
template <typename Escape>
void AppendValidText(std::string& out, const std::string& value, Escape escape) {
  for (std::size_t at = 0; at < value.size();) {
    const std::size_t length = Utf8Length(value, at);
    if (length == 0) {
      out += "\xEF\xBF\xBD";  // U+FFFD
      ++at;
      continue;
    }
    if (length > 1) {
      out.append(value, at, length);
    } else if (value[at] != '\0') {
      escape(value[at]);
    }
    at += length;
  }
}
}  // namespace

void AppendCopyText(std::string& line, const std::string& value) {
  AppendValidText(line, value, [&](char c) {
    switch (c) {
      case '\\':
        line += "\\\\";
        break;
      case '\t':
        line += "\\t";
        break;
      case '\n':
        line += "\\n";
        break;
      case '\r':
        line += "\\r";
        break;
      default:
        line += c;
    }
  });
}

std::string TextArray(const std::vector<std::string>& values) {
  std::string text = "{";
  for (const std::string& value : values) {
    if (text.size() > 1) text += ',';
    text += '"';
    AppendValidText(text, value, [&](char c) {
      if (c == '"' || c == '\\') text += '\\';
      text += c;
    });
    text += '"';
  }
  return text + "}";
}
