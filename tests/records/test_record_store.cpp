// The record database: every field back as stored, batches that may be retried, the date
// filter, the schema and files that are no database.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <limits>

#include "records/record_store.h"
#include "tests/records/record_samples.h"

using records_test::RawConnection;
using records_test::SampleRecord;
using records_test::TempFolder;

namespace {

std::vector<PartRecord> ReadAll(RecordStore& store, const std::string& since = "") {
  std::vector<PartRecord> rows;
  const StoreResult result = store.QuerySince(since, rows);
  EXPECT_TRUE(result.Ok()) << result.Message;
  return rows;
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(RecordStore, EveryFieldComesBackAsStored) {
  PartRecord extremes = SampleRecord(1);
  extremes.UnitId = std::numeric_limits<std::uint64_t>::max();  // above the signed range
  extremes.DataCrc = 0xFFFFFFFFU;
  extremes.Site = 8;
  extremes.Sockets = 0x0F;
  extremes.Manufacturer = "Ünïcode, \"quoted\"\nnext line";
  extremes.Steps.push_back({0x7777, "", 0xFF, std::numeric_limits<std::uint32_t>::max()});
  extremes.Pass = true;
  PartRecord empty;  // no steps, no texts
  empty.RecordId = "empty";
  empty.Time = "2024-05-01T00:00:00.000+00:00";
  const std::vector<PartRecord> batch = {SampleRecord(0), extremes, empty};

  TempFolder folder;
  RecordStore store(RecordStore::PathBelow(folder.Path().string() + "/"));
  ASSERT_TRUE(store.Insert(batch).Ok());
  EXPECT_EQ(ReadAll(store), (std::vector<PartRecord>{empty, SampleRecord(0), extremes}));
  EXPECT_TRUE(std::filesystem::exists(folder.Path() / "History" / "Records.db"));
}

TEST(RecordStore, RetriedBatchAddsNoRowTwice) {
  TempFolder folder;
  RecordStore store(folder.Db());
  ASSERT_TRUE(store.Insert({SampleRecord(1), SampleRecord(2)}).Ok());
  ASSERT_TRUE(store.Insert({SampleRecord(1), SampleRecord(2), SampleRecord(3)}).Ok());
  const auto rows = ReadAll(store);
  ASSERT_EQ(rows.size(), 3u);
  for (const auto& row : rows) EXPECT_EQ(row.Steps.size(), SampleRecord(0).Steps.size());
  PartRecord anonymous = SampleRecord(4);
  anonymous.RecordId.clear();
  EXPECT_FALSE(store.Insert({anonymous}).Ok());
  EXPECT_EQ(ReadAll(store).size(), 3u);
}

TEST(RecordStore, SinceKeepsRecordsFromThatDateOn) {
  const char* times[] = {"2024-04-30T23:59:59.999+02:00", "2024-05-01T00:00:00.000+02:00",
                         "2024-05-01T18:30:00.000+02:00", "2024-12-31T08:00:00.000+01:00"};
  TempFolder folder;
  RecordStore store(folder.Db());
  std::vector<PartRecord> batch;
  for (std::size_t i = 0; i < std::size(times); ++i) {
    batch.push_back(SampleRecord(i));
    batch.back().Time = times[i];
  }
  ASSERT_TRUE(store.Insert(batch).Ok());
  const struct {
    std::string since;
    std::size_t rows;
  } cases[] = {{"", 4},           {"2024-04-30", 4}, {"2024-05-01", 3},
               {"2024-05-02", 1}, {"2024-12-31", 1}, {"2025-01-01", 0}};
  for (const auto& c : cases) {
    const auto rows = ReadAll(store, c.since);
    EXPECT_EQ(rows.size(), c.rows) << c.since;
    if (!rows.empty()) {
      EXPECT_EQ(rows.back().Time, times[3]) << c.since;
    }
  }
  for (const char* bad :
       {"2024-5-1", "2024-13-01", "2024-12-32", "2024-12-00", "2024-02-30", "2023-02-29",
        "2100-02-29", "2024-04-31", "yesterday", "2024-05-01'; DROP"}) {
    std::vector<PartRecord> rows;
    EXPECT_EQ(store.QuerySince(bad, rows).Status, StoreStatus::Failed) << bad;
  }
}

TEST(RecordStore, NewFileGetsVersionedSchemaInWalMode) {
  TempFolder folder;
  {
    RecordStore store(folder.Db());
    ASSERT_TRUE(store.Open().Ok());
  }
  RawConnection raw(folder.Db());
  EXPECT_EQ(raw.Value("PRAGMA user_version"), std::to_string(RecordStore::kSchemaVersion));
  EXPECT_EQ(raw.Value("PRAGMA journal_mode"), "wal");
  ASSERT_TRUE(raw.Exec("PRAGMA user_version = 99"));
  RecordStore newer(folder.Db());
  const StoreResult result = newer.Open();
  EXPECT_EQ(result.Status, StoreStatus::Failed);
  EXPECT_NE(result.Message.find("newer"), std::string::npos) << result.Message;
}

// A file of the first version (no shipping watermarks) keeps its records and gains the table;
// the watermark and the reads in commit order then work on it.
TEST(RecordStore, FirstVersionFileIsUpgradedInPlace) {
  TempFolder folder;
  {
    RecordStore store(folder.Db());
    ASSERT_TRUE(store.Insert({SampleRecord(1), SampleRecord(2), SampleRecord(3)}).Ok());
  }
  {
    RawConnection raw(folder.Db());
    ASSERT_TRUE(raw.Exec("DROP TABLE ship_marks; PRAGMA user_version = 1"));
  }
  RecordStore store(folder.Db());
  ASSERT_TRUE(store.Open().Ok());
  long long mark = -1;
  ASSERT_TRUE(store.ReadShipMark("line:5432/trail", mark).Ok());
  EXPECT_EQ(mark, 0);
  std::vector<StoredRecord> rows;
  ASSERT_TRUE(store.ReadAfter(mark, 2, rows).Ok());
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].Record, SampleRecord(1));
  EXPECT_EQ(rows[1].Record, SampleRecord(2));
  ASSERT_TRUE(store.WriteShipMark("line:5432/trail", rows.back().Id).Ok());
  ASSERT_TRUE(store.ReadShipMark("line:5432/trail", mark).Ok());
  ASSERT_TRUE(store.ReadAfter(mark, 2, rows).Ok());
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].Record, SampleRecord(3));
  std::uint64_t waiting = 0;
  ASSERT_TRUE(store.CountAfter(mark, waiting).Ok());
  EXPECT_EQ(waiting, 1u);
  RawConnection raw(folder.Db());
  EXPECT_EQ(raw.Value("PRAGMA user_version"), "2");
}

TEST(RecordStore, GarbageFileIsReportedDamagedAndLeftAlone) {
  TempFolder folder;
  std::filesystem::create_directories(folder.Path() / "History");
  const std::string garbage(4096, '\x5A');
  std::ofstream(folder.Db(), std::ios::binary) << garbage;

  RecordStore store(folder.Db());
  EXPECT_EQ(store.Open().Status, StoreStatus::Damaged);
  EXPECT_FALSE(store.IsOpen());
  EXPECT_EQ(store.Insert({SampleRecord(1)}).Status, StoreStatus::Damaged);
  std::vector<PartRecord> rows;
  EXPECT_EQ(store.QuerySince("", rows).Status, StoreStatus::Damaged);
  EXPECT_EQ(FileBytes(folder.Db()), garbage);  // the evidence is not overwritten
}

}  // namespace
