#pragma once
// lanscout-cli's exit statuses, one for each way a run can end, so that scripts can
// tell them apart (documented in lanscout-cli(1)).

#include "discovery/DiscoveryData.h"

enum ExitStatus : int {
    kExitOk = 0,
    // 1 to 5: the camera's own answer to new settings (RESULT_FAILED .. RESULT_LOGIN_FAILED);
    // the web commands use 5 for a refused login as well.
    kExitNotVerified = 6, // the camera took the command, but the check afterwards did not show it
    kExitNoAnswer = 7, // a camera did not answer the search, or not the command
    kExitWebFailed = 8, // a web request failed: the camera is unreachable or refused it
    kExitNotConfirmed = 9, // the user did not confirm, or could not be asked
    kExitNoLoginAsked = 10, // the camera asked for no login, so nothing could be verified
    kExitRepliesDropped = 11, // the search's list was full: some cameras' replies were left out
    kExitUsage = 64, // a bad command line
    kExitPlanRefused = 65, // the plan or the settings have problems; nothing was sent
    kExitUnreadableInput = 66, // a plan or password file could not be read
    kExitUnknownAdapter = 67, // no adapter of that name or address
    kExitAnotherCopy = 69, // port 40014 is taken: another copy is running
    kExitNetworkError = 71, // a socket could not be opened or used: a command did not leave
};
static_assert(int(RESULT_LOGIN_FAILED) < int(kExitNotVerified), "the camera's results keep their own statuses");
