#include "platform/MessageBox.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

QWidget *g_owner = nullptr;
MessageBoxHandler g_handler;
MessageBoxHandler g_presenter;

int WriteToStandardError(const MessageRequest &request)
{
    std::fprintf(stderr, "%s: %s\n", request.caption.c_str(), request.text.c_str());
    return request.buttons == MessageButtons::YesNo ? ANSWER_NO : ANSWER_OK;
}

} // namespace

std::string ProgramName()
{
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string("lanscout") : self.stem().string();
}

void SetMessageOwner(QWidget *owner)
{
    g_owner = owner;
}

QWidget *MessageOwner()
{
    return g_owner;
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler)
{
    MessageBoxHandler previous = std::move(g_handler);
    g_handler = std::move(handler);
    return previous;
}

void SetMessagePresenter(MessageBoxHandler presenter)
{
    g_presenter = std::move(presenter);
}

int ShowMessage(const std::string &text, MessageButtons buttons, MessageIcon icon)
{
    if (icon == MessageIcon::Default)
        icon = buttons == MessageButtons::YesNo ? MessageIcon::Question : MessageIcon::Warning;
    const MessageRequest request{text, ProgramName(), buttons, icon, g_owner};
    if (g_handler)
        return g_handler(request);
    return g_presenter ? g_presenter(request) : WriteToStandardError(request);
}
