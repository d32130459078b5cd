#pragma once
// How the program's parts talk to the user while they act on cameras: the window shows
// its boxes and dialogs, a test scripts the answers. Free of Qt.

#include "platform/MessageBox.h"

#include <functional>
#include <optional>
#include <string>

class IUserInteraction {
public:
    // Shows the text; ANSWER_OK, or ANSWER_YES / ANSWER_NO for a question.
    virtual int ShowMessage(const std::string &text, MessageButtons buttons = MessageButtons::Ok,
                            MessageIcon icon = MessageIcon::Default) = 0;
    // Has the user give the camera a new password, logged in as user with password;
    // the password the camera took, or none when the user left without one.
    virtual std::optional<std::string> AskNewPassword(const std::string &ip, const std::string &user,
                                                      const std::string &password) = 0;
    virtual void OpenWebPage(const std::string &url) = 0;
    // Runs a request that makes the user wait (a camera's web page, up to 40 s) to its end.
    virtual void RunBusy(const std::function<void()> &work) = 0;

protected:
    ~IUserInteraction() = default;
};
