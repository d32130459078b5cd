#include "inventory/ExportFormat.h"

std::string ExportLine(const std::string &firmware, const std::string &ip, const std::string &product)
{
    return "[" + firmware + "] " + ip + "\t" + product + "\r\n";
}
