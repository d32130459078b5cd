#pragma once
// The hand-over of one camera to the HALVEX video management system on this computer:
// its address, login and HTTP port under the system's temporary-settings key, with the
// flag that says a camera waits. Every start of the program clears the flag. Qt-free.

#include <cstdint>
#include <string>

class CVantoRegistry;

struct CameraHandOver {
    std::string ip;
    std::string user;
    std::string password;
    std::uint32_t httpPort = 0;
};

// What became of a write to the store: done, or the reason it was not, in words that
// name the place (for the user's message and the debug output).
struct StoreWriteResult {
    bool written = false;
    std::string problem;
};

// Writes the camera's four values under the flag: the management system that finds the flag
// at 1 finds this camera beside it, never a mix with the previous one. In the file-backed
// hive the five values are one replacement of the key's values, the flag first; the
// registry takes them one by one, so there the flag is set last. A hand-over that cannot
// be written takes the flag back to 0.
StoreWriteResult WriteHandOver(CVantoRegistry &registry, const CameraHandOver &camera);

// The store the hand-over goes to, made once when the program starts: the file-backed hive
// at root (RegistryRoot()), or the registry, which has no root and ignores it. The key is
// opened anew for every write, so that each write sees the store as it is then.
class CHandOverStore final {
public:
    explicit CHandOverStore(std::string root) : m_root(std::move(root)) {}

    StoreWriteResult Write(const CameraHandOver &camera) const;
    // Sets the flag to 0. Waits only briefly for a key another program holds: the
    // window must start whatever the store's state.
    StoreWriteResult ClearRequest() const;

private:
    std::string m_root;
};
