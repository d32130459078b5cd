#include "app/AppIcon.h"
#include "app/LanscoutDlg.h"
#include "platform/DebugOutput.h"
#include "platform/FileVersion.h"
#include "platform/QtMessageBox.h"
#include "vms/HandOver.h"
#include "vms/VantoRegistry.h"

#include <QApplication>

#include <cstdio>
#include <cstring>
#include <optional>

namespace {

constexpr const char *kUsage =
    "Usage: lanscout [--help | --version]\n"
    "Finds the IP cameras on the local network, gives them their addresses and hands one\n"
    "over to the video management system. See lanscout(1).\n"
    "\n"
    "  --help     show this help and exit\n"
    "  --version  show the product name and version and exit\n";

// The version the window title shows, read from the same stamp.
void PrintVersion()
{
    CFileVersion version;
    version.Load();
    std::printf("Lanscout %s\n", version.GetText());
}

bool IsVersionOption(const char *arg)
{
    return std::strcmp(arg, "--version") == 0;
}

bool IsHelpOption(const char *arg)
{
    return std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0;
}

// Handles the options that answer and end; nothing when the window is to open.
std::optional<int> HandleOptions(int argc, char **argv)
{
    if (argc < 2)
        return std::nullopt;
    if (argc == 2 && IsVersionOption(argv[1])) {
        PrintVersion();
        return 0;
    }
    if (argc == 2 && IsHelpOption(argv[1])) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    // Either option stands alone: name the first argument that does not belong.
    const bool firstIsKnown = IsVersionOption(argv[1]) || IsHelpOption(argv[1]);
    std::fprintf(stderr, "lanscout: unexpected argument '%s'\n%s", argv[firstIsKnown ? 2 : 1], kUsage);
    return 2;
}

} // namespace

// The application: runs the main window as a modal dialog and ends with it.
class CLanscoutApp final {
public:
    int Start(int argc, char **argv)
    {
        QApplication app(argc, argv);
        QApplication::setWindowIcon(LoadAppIcon());
        UseQtMessageBoxes();
        const CHandOverStore store(RegistryRoot());
        // Whatever another account left in the store, the window starts as usual.
        if (const StoreWriteResult cleared = store.ClearRequest(); !cleared.written)
            WriteDebugOutput("The hand-over flag was not cleared: " + cleared.problem);
        CLanscoutDlg dialog(store);
        dialog.DoModal();
        return 0;
    }
};

int main(int argc, char **argv)
{
    if (const std::optional<int> status = HandleOptions(argc, argv))
        return *status;
    static CLanscoutApp theApp;
    return theApp.Start(argc, argv);
}
