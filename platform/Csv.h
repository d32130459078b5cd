#pragma once
// CSV as RFC 4180 has it: fields separated by commas, quoted with '"' where they hold
// a comma, a quote or a line end, a quote inside written twice; lines end in LF or
// CR LF. Blanks around a field are not part of it.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The most fields a line may have. The files read here have about ten columns; a line
// of commas alone must not become millions of fields.
inline constexpr std::size_t kMaxCsvFields = 64;

struct CsvRecord {
    int line = 0; // where the record starts, from 1
    std::vector<std::string> fields; // at most kMaxCsvFields
    std::string fault; // why the record is not readable as CSV; empty when it is
};

// Reads records one at a time, so that a large file is never held twice. A blank line
// (nothing but spaces and tabs) is no record: it is passed over, and only counted among
// the lines.
class CCsvReader final {
public:
    explicit CCsvReader(std::string_view text) : m_text(text) {}

    // The next record; false at the end of the text.
    bool Next(CsvRecord &record);

private:
    bool AtEnd() const { return m_pos >= m_text.size(); }
    char Peek() const { return m_text[m_pos]; }
    bool AtLineEnd() const;
    bool AtFieldEnd() const;
    void SkipBlanks();
    void SkipLineEnd();
    bool SkipBlankLines();
    void Fault(std::string_view what);
    std::string ReadPlainField();
    std::string ReadQuotedField();
    void SkipStrayTextAfterQuote();

    std::string_view m_text;
    std::size_t m_pos = 0;
    int m_line = 1;
    std::string m_fault; // the first fault of the record being read
};

// The records in file order, blank lines left out.
std::vector<CsvRecord> ReadCsv(std::string_view text);

// The field as it is, or quoted when reading it back would otherwise change it.
std::string CsvField(std::string_view text);

// A line of cells a spreadsheet takes as the texts they are (see SpreadsheetText), LF at its end.
std::string SpreadsheetCsvLine(const std::vector<std::string> &cells);

// A cell a spreadsheet takes as the text it is: one that would start a formula (=, +,
// -, @, a tab or a CR first) gets a leading '.
std::string SpreadsheetText(std::string_view text);
