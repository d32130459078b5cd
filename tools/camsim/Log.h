#pragma once
// One line per event, stamped with CLOCK_MONOTONIC milliseconds (the clock of
// std::chrono::steady_clock, so a test can set the stamps against its own), and
// flushed at once so that a test can follow the log while camsim runs. The web
// side's threads write to it too, and their lines never mix.

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>
#include <string_view>

inline std::int64_t MonotonicMs()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Text from the network as one safe log word: bytes outside printable ASCII, spaces
// and backslashes become \xNN, so a received text can never forge or split a line.
inline std::string Printable(std::string_view text)
{
    std::string out;
    for (const unsigned char c : text) {
        if (c > ' ' && c < 0x7F && c != '\\') {
            out += char(c);
            continue;
        }
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
        out += escaped;
    }
    return out;
}

class Log final {
public:
    explicit Log(std::FILE *out) : m_out(out) {}

    // An event at this moment.
    void Line(const char *format, ...) __attribute__((format(printf, 2, 3)))
    {
        va_list args;
        va_start(args, format);
        Write(MonotonicMs(), format, args);
        va_end(args);
    }

    // An event stamped with the time it was handled at, the time its consequences
    // (a reply's delay, a reboot's silence) are counted from.
    void At(std::int64_t ms, const char *format, ...) __attribute__((format(printf, 3, 4)))
    {
        va_list args;
        va_start(args, format);
        Write(ms, format, args);
        va_end(args);
    }

private:
    void Write(std::int64_t ms, const char *format, va_list args)
    {
        const std::lock_guard lock(m_mutex);
        std::fprintf(m_out, "%lld ", static_cast<long long>(ms));
        std::vfprintf(m_out, format, args);
        std::fputc('\n', m_out);
        std::fflush(m_out);
    }

    std::FILE *m_out;
    std::mutex m_mutex;
};
