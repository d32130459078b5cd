#pragma once
// Passwords never come from the command line, where the process list shows them to
// every user and the shell keeps them in its history. A password comes from a file
// named by an option, else from the environment, else from the terminal, typed
// without echo. Bytes are kept exactly: a camera takes its password as bytes.

#include <cstddef>
#include <optional>
#include <string>

inline constexpr const char *kPasswordVariable = "LANSCOUT_PASSWORD";

// A secret, or why there is none.
struct Secret {
    std::optional<std::string> value;
    std::string error;
};

// The file's first line without its LF or CR LF, read as plans are (cli/InputFile.h);
// an error (with the system's reason where there is one) when the file cannot be read,
// is of a kind that is not read, or the line is empty.
Secret ReadSecretFile(const std::string &path);

// One line typed on the user's terminal (/dev/tty; on Windows the console) after the
// prompt, with echo off. Echo comes back however the prompt ends, a signal or Ctrl+C
// that ends the program included; an error when there is no terminal.
Secret AskOnTerminal(const std::string &prompt);

// The camera's current password: from passwordFile when given, else from
// LANSCOUT_PASSWORD when set, else asked on the terminal with the prompt.
Secret ObtainPassword(const std::optional<std::string> &passwordFile, const std::string &prompt);

// A new password of 8 to 30 characters: from newPasswordFile when given, else asked
// twice on the terminal, both times the same.
Secret ObtainNewPassword(const std::optional<std::string> &newPasswordFile);
