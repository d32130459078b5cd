#pragma once
// Every message the user must see goes through one function: fixed text, OK or Yes/No,
// captioned with the program's name, modal to the main window. Tests replace the
// handler to read the text and give the answer. Free of Qt, so that the camera web
// API can report its failures; the window installs the real box (QtMessageBox.h).

#include <functional>
#include <string>

class QWidget;

enum class MessageButtons { Ok, YesNo };
enum class MessageIcon { Default, Information, Warning, Question, Error };
enum MessageAnswer { ANSWER_OK = 1, ANSWER_CANCEL = 2, ANSWER_YES = 6, ANSWER_NO = 7 };

struct MessageRequest {
    std::string text;
    std::string caption;
    MessageButtons buttons;
    MessageIcon icon; // Default already resolved: exclamation for OK, question for Yes/No
    QWidget *owner;
};

using MessageBoxHandler = std::function<int(const MessageRequest &)>;

// Shows the box and returns ANSWER_OK, ANSWER_YES or ANSWER_NO. Without any box installed the text
// goes to standard error and the answer is ANSWER_OK (ANSWER_NO for a question).
int ShowMessage(const std::string &text, MessageButtons buttons = MessageButtons::Ok,
                MessageIcon icon = MessageIcon::Default);

// The window the boxes are modal to; a window clears it when it goes.
void SetMessageOwner(QWidget *owner);
QWidget *MessageOwner();

// Replaces the handler; returns the previous one. An empty handler restores the real box.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// The real box, shown when no handler is set.
void SetMessagePresenter(MessageBoxHandler presenter);

// The caption of every box: the executable's file name without its extension.
std::string ProgramName();
