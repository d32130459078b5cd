#include "inventory/ExportFormat.h"

#include "platform/ShownText.h"

namespace {

template <std::size_t N>
std::string Exported(const char (&slot)[N])
{
    return ShownText(SlotText(slot), kExportTarget);
}

} // namespace

// Appended piece by piece: GCC 12 at -O3 warns wrongly (-Wrestrict) about the chained +.
std::string ExportLine(const DISCOVERY_DATA &camera)
{
    std::string line = "[";
    line += Exported(camera.szFirmwareVersion);
    line += "] ";
    line += Exported(camera.szIP);
    line += '\t';
    line += Exported(camera.szProductName);
    line += "\r\n";
    return line;
}
