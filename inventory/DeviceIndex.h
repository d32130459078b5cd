#pragma once
// The protocol and identity of each listed camera, so the duplicate test of each reply
// does not walk the whole device list: with a thousand cameras answering five searches
// that walk would cost the window seconds. Gives the same answers as the walk: a camera
// is listed when a listed camera of its protocol has its identity, which is not empty.

#include "camera/Camera.h"

#include <map>
#include <string>
#include <unordered_map>

class CDeviceIndex final {
public:
    void Add(const Camera &camera);
    void Remove(const Camera &camera);
    void Clear();
    bool Contains(const CameraProtocol &protocol, const std::string &identity) const;

private:
    using Counts = std::unordered_map<std::string, int>; // identity -> cameras listed with it

    std::map<CameraProtocol, Counts, std::less<>> m_byProtocol;
};
