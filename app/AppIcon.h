#pragma once

#include <QIcon>

// The application icon: a camera lens over a network, drawn at the usual sizes.
QIcon LoadAppIcon();
