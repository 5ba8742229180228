#pragma once
// The records as text for the command-line program: CSV (RFC 4180) and JSON lines.
//
// Both formats carry the same fields under the same names. Result bytes are hex texts as the
// log shows them ("A0"), the data image's CRC-32 is eight hex digits, the unit's date-time
// identifier is a decimal number. In CSV the sockets are a list "1;2;4" and the steps
// "Name:Result:ms" joined by ";"; in JSON they are arrays.
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "records/part_record.h"

// The field quoted when it holds a comma, a quote, a line break or a leading or trailing
// blank; quotes inside are doubled.
std::string CsvField(std::string_view text);

// The header line and one line per record, each ending in CR LF.
std::string CsvHeader();
std::string CsvLine(const PartRecord& record);
void WriteCsv(std::ostream& out, const std::vector<PartRecord>& records);

// One JSON object on one line, without the line end.
std::string JsonLine(const PartRecord& record);
// One object per line, each ending in LF.
void WriteJsonLines(std::ostream& out, const std::vector<PartRecord>& records);
