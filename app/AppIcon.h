#pragma once

#include <QIcon>

// The application icon (resource 128): a camera on its network, at 16, 32 and 64 pixels.
QIcon LoadAppIcon();
