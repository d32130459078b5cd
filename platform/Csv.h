#pragma once
// CSV as RFC 4180 has it: fields separated by commas, quoted with '"' where they hold
// a comma, a quote or a line end, a quote inside written twice; lines end in LF or
// CR LF. Blanks around a field are not part of it.

#include <string>
#include <string_view>
#include <vector>

struct CsvRecord {
    int line = 0; // where the record starts, from 1
    std::vector<std::string> fields;
    bool blank = false; // an empty line: one unquoted field holding nothing
    std::string fault; // why the record is not readable as CSV; empty when it is
};

// The records in file order.
std::vector<CsvRecord> ReadCsv(std::string_view text);

// The field as it is, or quoted when reading it back would otherwise change it.
std::string CsvField(std::string_view text);

// A line of cells a spreadsheet takes as the texts they are (see SpreadsheetText), LF at its end.
std::string SpreadsheetCsvLine(const std::vector<std::string> &cells);

// A cell a spreadsheet takes as the text it is: one that would start a formula (=, +,
// -, @, a tab or a CR first) gets a leading '.
std::string SpreadsheetText(std::string_view text);
