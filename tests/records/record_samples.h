#pragma once
// Records, folders and a second database connection shared by the record tests.
#include <cstdint>
#include <filesystem>
#include <string>

#include "records/part_record.h"

struct sqlite3;

namespace records_test {

// A fresh folder below the system's temporary folder, removed with the object.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  std::string Db() const { return (path_ / "History" / "Records.db").string(); }

 private:
  std::filesystem::path path_;
};

// A record with every field set; `n` makes its id, unit and times differ.
PartRecord SampleRecord(std::uint64_t n);

// Another program's connection, for locking the file or reading what the store cannot.
class RawConnection {
 public:
  explicit RawConnection(const std::string& path);
  ~RawConnection();
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;
  bool Exec(const std::string& sql);
  // The first column of the first row as text ("" when there is none).
  std::string Value(const std::string& sql);

 private:
  sqlite3* db_ = nullptr;
};

}  // namespace records_test
