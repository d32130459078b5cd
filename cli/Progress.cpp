#include "cli/Progress.h"

#include <cstdio>
#include <unistd.h>

CProgress::CProgress() : m_bTerminal(isatty(STDERR_FILENO) == 1) {}

void CProgress::Show(const std::string &text)
{
    if (!m_bTerminal)
        return;
    std::fprintf(stderr, "\r\033[K%s", text.c_str());
    std::fflush(stderr);
    m_bShown = true;
}

void CProgress::Finish()
{
    if (m_bShown)
        std::fputs("\r\033[K", stderr);
    m_bShown = false;
}
