#pragma once
// A user the test scripts, for the parts that talk to the user through
// IUserInteraction: every message text is kept, questions get the
// scripted answer, and each password dialog takes the next scripted answer (a new
// password the camera is to take through the real change on its web port, or none
// for Cancel).

#include "camapi/PasswordChange.h"
#include "platform/UserInteraction.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

class CScriptedUser final : public IUserInteraction {
public:
    struct PasswordDialog {
        std::string ip, user, password;
    };

    int yesNoAnswer = ANSWER_YES;
    std::deque<std::optional<std::string>> newPasswords; // the answers, in order; none left = Cancel
    std::vector<std::string> messages;
    std::vector<PasswordDialog> passwordDialogs;
    std::vector<std::string> openedPages;
    int busyRuns = 0;

    int ShowMessage(const std::string &text, MessageButtons buttons = MessageButtons::Ok,
                    MessageIcon = MessageIcon::Default) override
    {
        messages.push_back(text);
        return buttons == MessageButtons::YesNo ? yesNoAnswer : ANSWER_OK;
    }

    std::optional<std::string> AskNewPassword(const std::string &ip, const std::string &user,
                                              const std::string &password) override
    {
        passwordDialogs.push_back({ip, user, password});
        if (newPasswords.empty())
            return std::nullopt;
        std::optional<std::string> answer = newPasswords.front();
        newPasswords.pop_front();
        if (answer && ChangeCameraPassword(ip, user, password, *answer).nCode != API_SUCCESS)
            return std::nullopt;
        return answer;
    }

    void OpenWebPage(const std::string &url) override { openedPages.push_back(url); }

    void RunBusy(const std::function<void()> &work) override
    {
        ++busyRuns;
        work();
    }
};
