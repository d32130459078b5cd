#pragma once
// Progress on standard error while the user waits, only when it is a terminal: scripts
// reading standard output and logs of standard error get nothing of it.

#include <cstddef>
#include <string>

class CProgress final {
public:
    CProgress();
    // One line, rewritten in place.
    void Show(const std::string &text);
    // Ends the line, so that what follows starts on a fresh one.
    void Finish();

private:
    bool m_bShown = false;
    bool m_bTerminal = false;
};
