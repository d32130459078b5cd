#include "inventory/ExportFormat.h"

#include "platform/ShownText.h"

namespace {

std::string Exported(const std::string &text)
{
    return ShownText(text, kExportTarget);
}

} // namespace

// Appended piece by piece: GCC 12 at -O3 warns wrongly (-Wrestrict) about the chained +.
std::string ExportLine(const Camera &camera)
{
    std::string line = "[";
    line += Exported(camera.firmware);
    line += "] ";
    line += Exported(camera.ip);
    line += '\t';
    line += Exported(camera.product);
    line += "\r\n";
    return line;
}
