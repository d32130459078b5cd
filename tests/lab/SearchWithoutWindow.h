#pragma once
// What the window's search needs of a window, for lab tests that drive the parts alone.

#include "site/DeviceSearch.h"

#include <chrono>
#include <functional>
#include <thread>

// The window's display, which a search without a window does not need; a test may hear
// of each new search.
class NoDisplay final : public ISearchDisplay {
public:
    void CallOnDisplayThread(const std::function<void()> &fn) override { fn(); }
    void ShowSearchWait(bool) override {}
    void EnableSearchControls(bool) override {}
    void ServeDisplayThread() override { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }
    void ListEmptiedForSearch() override
    {
        if (onSearch)
            onSearch();
    }

    std::function<void()> onSearch;
};

// Lets a sweep's replies in: a short real pause, which camsim's answers take far less than.
class ShortClock final : public ISweepClock {
public:
    void Pause(std::chrono::milliseconds, CSweepStop &stop) override { stop.Pause(std::chrono::milliseconds(100)); }
};
