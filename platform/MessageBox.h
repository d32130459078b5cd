#pragma once
// Every message the user must see goes through one function: fixed text, OK or Yes/No,
// captioned with the program's name, modal to the main window. Tests replace the
// handler to read the text and give the answer.

#include <functional>
#include <string>

class QWidget;

enum class MessageButtons { Ok, YesNo };
enum class MessageIcon { Default, Information, Warning, Question, Error };
enum MessageAnswer { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

struct MessageRequest {
    std::string text;
    std::string caption;
    MessageButtons buttons;
    MessageIcon icon; // Default already resolved: exclamation for OK, question for Yes/No
    QWidget *owner;
};

using MessageBoxHandler = std::function<int(const MessageRequest &)>;

// Shows the box and returns IDOK, IDYES or IDNO.
int ShowMessage(const std::string &text, MessageButtons buttons = MessageButtons::Ok,
                MessageIcon icon = MessageIcon::Default);

// The window the boxes are modal to.
void SetMessageOwner(QWidget *owner);

// Replaces the handler; returns the previous one. An empty handler restores the real box.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// The caption of every box: the executable's file name without its extension.
std::string ProgramName();
