#pragma once
// The pages of a camera's web interface as the camera answers them once the login has
// been checked: the video settings of its channels, and the change of its password.
// README.md lists the pages and the bodies.

#include "tools/camsim/Camera.h"
#include "tools/camsim/Log.h"

#include <string>
#include <vector>

// One decoded argument of the query, in the order the request gave them.
struct QueryItem {
    std::string key;
    std::string value;
};
using Query = std::vector<QueryItem>;

struct PageAnswer {
    unsigned status;
    std::string body;
};

// A page the camera does not have.
PageAnswer NotFoundPage();
// What a page answers when it does not do what it was asked.
PageAnswer RefusalPage();

// A camera's answer to an authenticated GET of `path`, after doing what it asks. Logs
// every setting applied and every password changed. A camera that keepsCodec says yes
// to a new codec but leaves the channel's as it was.
PageAnswer AnswerPage(SimCamera &camera, const std::string &path, const Query &query, bool keepsCodec, Log &log);

// How the request log names a page: "basic.cgi", "system.cgi", or the path itself.
std::string PageName(const std::string &path);
// The query for the request log, as one word, with the password left out.
std::string QueryForLog(const Query &query);
