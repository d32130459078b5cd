#include "platform/Csv.h"

#include "platform/AsciiText.h"

#include <utility>

bool CCsvReader::Next(CsvRecord &record)
{
    if (!SkipBlankLines())
        return false;
    record.line = m_line;
    record.fields.clear();
    std::size_t fieldsRead = 0;
    for (;;) {
        SkipBlanks();
        const bool quoted = !AtEnd() && Peek() == '"';
        std::string field = quoted ? ReadQuotedField() : ReadPlainField();
        if (++fieldsRead <= kMaxCsvFields)
            record.fields.push_back(std::move(field));
        if (AtEnd() || Peek() != ',')
            break;
        ++m_pos;
    }
    SkipLineEnd();
    if (fieldsRead > kMaxCsvFields)
        Fault("more than " + std::to_string(kMaxCsvFields) + " fields");
    record.fault = std::exchange(m_fault, std::string());
    return true;
}

bool CCsvReader::AtLineEnd() const
{
    return Peek() == '\n' || m_text.substr(m_pos, 2) == "\r\n";
}

bool CCsvReader::AtFieldEnd() const
{
    return AtEnd() || Peek() == ',' || AtLineEnd();
}

void CCsvReader::SkipBlanks()
{
    while (!AtEnd() && IsBlank(Peek()))
        ++m_pos;
}

void CCsvReader::SkipLineEnd()
{
    if (AtEnd())
        return;
    m_pos += Peek() == '\r' ? 2 : 1;
    ++m_line;
}

// False when nothing but blank lines is left.
bool CCsvReader::SkipBlankLines()
{
    for (;;) {
        SkipBlanks();
        if (AtEnd())
            return false;
        if (!AtLineEnd())
            return true;
        SkipLineEnd();
    }
}

void CCsvReader::Fault(std::string_view what)
{
    if (m_fault.empty())
        m_fault = what;
}

std::string CCsvReader::ReadPlainField()
{
    const std::size_t start = m_pos;
    while (!AtFieldEnd())
        ++m_pos;
    const std::string_view field = TrimBlanks(m_text.substr(start, m_pos - start));
    if (field.find('"') != std::string_view::npos)
        Fault("a quote inside a field that does not start with one");
    return std::string(field);
}

std::string CCsvReader::ReadQuotedField()
{
    const int openedOn = m_line;
    ++m_pos;
    std::string field;
    for (;;) {
        if (AtEnd()) {
            Fault("the quote opened on line " + std::to_string(openedOn) + " is never closed");
            return field;
        }
        const char c = m_text[m_pos++];
        if (c == '"' && !AtEnd() && Peek() == '"') {
            field += '"';
            ++m_pos;
        } else if (c == '"') {
            break;
        } else {
            m_line += c == '\n';
            field += c;
        }
    }
    SkipStrayTextAfterQuote();
    return field;
}

void CCsvReader::SkipStrayTextAfterQuote()
{
    SkipBlanks();
    if (AtFieldEnd())
        return;
    Fault("text after a field's closing quote");
    while (!AtFieldEnd())
        ++m_pos;
}

namespace {

bool NeedsQuotes(std::string_view text)
{
    return text.find_first_of(",\"\r\n") != std::string_view::npos ||
           (!text.empty() && (IsBlank(text.front()) || IsBlank(text.back())));
}

} // namespace

std::vector<CsvRecord> ReadCsv(std::string_view text)
{
    std::vector<CsvRecord> records;
    CCsvReader reader(text);
    for (CsvRecord record; reader.Next(record);)
        records.push_back(record);
    return records;
}

std::string CsvField(std::string_view text)
{
    if (!NeedsQuotes(text))
        return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

std::string SpreadsheetText(std::string_view text)
{
    constexpr std::string_view kFormulaStarts = "=+-@\t\r";
    const bool startsFormula = !text.empty() && kFormulaStarts.find(text.front()) != std::string_view::npos;
    std::string shown = startsFormula ? "'" : "";
    shown += text;
    return shown;
}

std::string SpreadsheetCsvLine(const std::vector<std::string> &cells)
{
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i)
        line.append(i ? "," : "").append(CsvField(SpreadsheetText(cells[i])));
    return line + "\n";
}
