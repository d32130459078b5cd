#include "platform/Csv.h"

#include "platform/AsciiText.h"

#include <utility>

namespace {

// Walks the text once, field by field, keeping count of the lines.
class CsvReader {
public:
    explicit CsvReader(std::string_view text) : m_text(text) {}

    std::vector<CsvRecord> ReadAll()
    {
        std::vector<CsvRecord> records;
        while (!AtEnd())
            records.push_back(ReadRecord());
        return records;
    }

private:
    bool AtEnd() const { return m_pos >= m_text.size(); }
    char Peek() const { return m_text[m_pos]; }
    bool AtLineEnd() const { return Peek() == '\n' || m_text.substr(m_pos, 2) == "\r\n"; }
    bool AtFieldEnd() const { return AtEnd() || Peek() == ',' || AtLineEnd(); }

    void SkipBlanks()
    {
        while (!AtEnd() && IsBlank(Peek()))
            ++m_pos;
    }

    void Fault(const std::string &what)
    {
        if (m_fault.empty())
            m_fault = what;
    }

    CsvRecord ReadRecord()
    {
        CsvRecord record;
        record.line = m_line;
        bool quoted = false;
        for (;;) {
            SkipBlanks();
            const bool fieldQuoted = !AtEnd() && Peek() == '"';
            quoted = quoted || fieldQuoted;
            record.fields.push_back(fieldQuoted ? ReadQuotedField() : ReadPlainField());
            if (AtEnd() || Peek() != ',')
                break;
            ++m_pos;
        }
        SkipLineEnd();
        record.blank = !quoted && record.fields.size() == 1 && record.fields[0].empty();
        record.fault = std::exchange(m_fault, std::string());
        return record;
    }

    std::string ReadPlainField()
    {
        const std::size_t start = m_pos;
        while (!AtFieldEnd())
            ++m_pos;
        const std::string_view field = TrimBlanks(m_text.substr(start, m_pos - start));
        if (field.find('"') != std::string_view::npos)
            Fault("a quote inside a field that does not start with one");
        return std::string(field);
    }

    std::string ReadQuotedField()
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

    void SkipStrayTextAfterQuote()
    {
        SkipBlanks();
        if (AtFieldEnd())
            return;
        Fault("text after a field's closing quote");
        while (!AtFieldEnd())
            ++m_pos;
    }

    void SkipLineEnd()
    {
        if (AtEnd())
            return;
        m_pos += Peek() == '\r' ? 2 : 1;
        ++m_line;
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
    int m_line = 1;
    std::string m_fault; // the first fault of the record being read
};

bool NeedsQuotes(std::string_view text)
{
    return text.find_first_of(",\"\r\n") != std::string_view::npos ||
           (!text.empty() && (IsBlank(text.front()) || IsBlank(text.back())));
}

} // namespace

std::vector<CsvRecord> ReadCsv(std::string_view text)
{
    return CsvReader(text).ReadAll();
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
