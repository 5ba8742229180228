#include "tests/records/record_samples.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>

namespace records_test {

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zv-records-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

PartRecord SampleRecord(std::uint64_t n) {
  PartRecord r;
  r.RecordId = "rec-" + std::to_string(n);
  r.Time = "2024-05-01T13:45:12." + std::to_string(100 + n % 900) + "+02:00";
  r.Site = static_cast<int>(n % 8) + 1;
  r.UnitId = 20240501134512ULL + n;
  r.ProjectFile = "Flash, \"A\" 64M.zvprj";
  r.DataCrc = 0x1F3C2A0BU;
  r.Manufacturer = "Acmetronic";
  r.PartNumber = "AT29F64B";
  r.Sockets = 0x0B;
  r.Steps = {{0x17E8, "Insert Detect", 0xA0, 12},
             {0x12ED, "Chip Erase", 0xA0, 2300},
             {0x13EC, "Program", 0xA1, 4100}};
  r.RunResult = 0xA1;
  r.RunVerdict = 0xA5;
  r.SocketVerdicts = {0xA0, 0xA0, 0x00, 0xA5};
  r.Pass = false;
  r.ElapsedMs = 6412;
  return r;
}

RawConnection::RawConnection(const std::string& path) {
  sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
}

RawConnection::~RawConnection() {
  sqlite3_close_v2(db_);
}

bool RawConnection::Exec(const std::string& sql) {
  return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::string RawConnection::Value(const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  std::string value;
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
      sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_text(stmt, 0) != nullptr) {
    value = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
  }
  sqlite3_finalize(stmt);
  return value;
}

}  // namespace records_test
