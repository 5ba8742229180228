// The records as CSV and JSON lines: quoting, the columns, the keys and their values.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "records/record_export.h"
#include "tests/records/record_samples.h"

using records_test::SampleRecord;

namespace {

TEST(RecordExport, CsvFieldsAreQuotedOnlyWhenNeeded) {
  const struct {
    std::string text, field;
  } cases[] = {
      {"AT29F64B", "AT29F64B"},
      {"", ""},
      {"a,b", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"two\nlines", "\"two\nlines\""},
      {"cr\r", "\"cr\r\""},
      {" padded", "\" padded\""},
      {"padded ", "\"padded \""},
      {"in between", "in between"},
      {"\"", "\"\"\"\""},
  };
  for (const auto& c : cases) EXPECT_EQ(CsvField(c.text), c.field) << c.text;
}

TEST(RecordExport, CsvHasOneHeaderAndOneLinePerRecord) {
  std::ostringstream out;
  WriteCsv(out, {SampleRecord(0), SampleRecord(1)});
  const std::string header =
      "record_id,time,site,unit_id,project_file,data_crc,manufacturer,part_number,sockets,steps,"
      "run_result,run_verdict,socket_verdicts,pass,elapsed_ms\r\n";
  const std::string first =
      "rec-0,2024-05-01T13:45:12.100+02:00,1,20240501134512,\"Flash, \"\"A\"\" 64M.zvprj\","
      "1F3C2A0B,Acmetronic,AT29F64B,1;2;4,"
      "Insert Detect:A0:12;Chip Erase:A0:2300;Program:A1:4100,A1,A5,A0;A0;00;A5,fail,6412\r\n";
  const std::string text = out.str();
  EXPECT_EQ(text.substr(0, header.size() + first.size()), header + first);
  EXPECT_EQ(text.size(), header.size() + 2 * first.size());
}

TEST(RecordExport, JsonLineCarriesEveryKeyWithTypedValues) {
  PartRecord record = SampleRecord(0);
  record.Steps.push_back({0x7777, "", 0xA0, 5});
  record.PartNumber = "bad \xFF utf-8";  // replaced, not thrown
  const auto json = nlohmann::json::parse(JsonLine(record));
  std::vector<std::string> keys;
  for (const auto& item : json.items()) keys.push_back(item.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"data_crc", "elapsed_ms", "manufacturer", "part_number",
                                            "pass", "project_file", "record_id", "run_result",
                                            "run_verdict", "site", "socket_verdicts", "sockets",
                                            "steps", "time", "unit_id"}));
  EXPECT_EQ(json["unit_id"], 20240501134512ULL);
  EXPECT_EQ(json["project_file"], "Flash, \"A\" 64M.zvprj");
  EXPECT_EQ(json["sockets"], nlohmann::json::parse("[1,2,4]"));
  EXPECT_EQ(json["socket_verdicts"], nlohmann::json::parse(R"(["A0","A0","00","A5"])"));
  EXPECT_EQ(json["steps"][2],
            nlohmann::json::parse(
                R"({"code":"13EC","name":"Program","result":"A1","duration_ms":4100})"));
  EXPECT_EQ(json["steps"][3]["code"], "7777");
  EXPECT_EQ(json["pass"], false);
  EXPECT_EQ(json["run_result"], "A1");
}

}  // namespace
