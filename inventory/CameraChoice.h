#pragma once
// The cameras of the list that the user chose, as the device actions see them: the one
// in the details panel, and those a reboot or factory reset goes to. The window's device
// list is one; tests give their own.

#include "camera/Camera.h"

#include <optional>
#include <vector>

class ICameraChoice {
public:
    // The camera the details panel shows, as the list holds it; none before a click.
    virtual std::optional<Camera> PanelCamera() const = 0;
    // The cameras a reboot or factory reset goes to, in row order.
    virtual std::vector<Camera> ChosenCameras() const = 0;
    // New settings went to the panel's camera: the list keeps them for it.
    virtual void KeepSentSettings(const Camera &command) = 0;

protected:
    ~ICameraChoice() = default;
};
