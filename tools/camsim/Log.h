#pragma once
// One line per event, with milliseconds since camsim started, flushed at once so a
// test can follow it.

#include <cstdarg>
#include <cstdint>
#include <cstdio>

class Log final {
public:
    explicit Log(std::FILE *out) : m_out(out) {}
    void Line(std::int64_t nowMs, const char *format, ...) __attribute__((format(printf, 3, 4)))
    {
        std::fprintf(m_out, "%lld ", static_cast<long long>(nowMs));
        va_list args;
        va_start(args, format);
        std::vfprintf(m_out, format, args);
        va_end(args);
        std::fputc('\n', m_out);
        std::fflush(m_out);
    }

private:
    std::FILE *m_out;
};
