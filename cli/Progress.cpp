#include "cli/Progress.h"

#include "cli/Console.h"

#include <cstdio>

CProgress::CProgress() : m_bTerminal(ErrorStreamRewritesLines()) {}

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
