#pragma once
// A discovery protocol beside the maker's own, as the site's search drives it: the search
// runs each provider's sweep on a thread of its own, beside its own sweep, and lists
// each camera the provider finds. A new protocol lives in its own folder, implements
// this, and is registered with the site core in one line.

#include "camera/Camera.h"

#include <functional>
#include <string>

class ICameraProvider {
public:
    virtual ~ICameraProvider() = default;

    // Searches through the adapter's address (none: the system's choice) until its sweep
    // is over or stopped() holds, which it asks at least every 100 ms. Each camera that
    // answers goes to found, once or more; the search lists it once.
    virtual void Sweep(const std::string &adapterAddress, const std::function<void(const Camera &)> &found,
                       const std::function<bool()> &stopped) = 0;
};
