#include "app/AppIcon.h"

#include <QString>

QIcon LoadAppIcon()
{
    QIcon icon;
    for (int size : {16, 32, 64})
        icon.addFile(QStringLiteral(":/icons/128/lanscout-%1.png").arg(size), QSize(size, size));
    return icon;
}
