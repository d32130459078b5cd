#include "cli/Secrets.h"

#include "camapi/PasswordChange.h"
#include "cli/Console.h"
#include "platform/InputFile.h"

#include <cstddef>
#include <cstdlib>
#include <utility>

namespace {

// Longer first lines are refused rather than read on: a path naming a device or a big
// file by mistake must not be read to its end.
constexpr std::size_t kMaxLineBytes = 4096;

Secret Failure(std::string error)
{
    return Secret{std::nullopt, std::move(error)};
}

// A secret a camera can take: not empty, and without a NUL byte, which would end the
// password early where the camera reads it as a C string.
Secret Usable(std::string value, const std::string &what)
{
    if (value.empty())
        return Failure(what + " is empty");
    if (value.find('\0') != std::string::npos)
        return Failure(what + " holds a NUL byte, which a camera's password cannot (a UTF-16 file?)");
    return Secret{std::move(value), {}};
}

std::string WithoutCarriageReturn(std::string line)
{
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

// The camera's own rule, with the texts the password dialog shows.
Secret NewPasswordTheCameraTakes(Secret secret, const std::string &confirmation)
{
    if (!secret.value)
        return secret;
    if (const char *problem = NewPasswordProblem(*secret.value, confirmation))
        return Failure(problem);
    return secret;
}

// When the terminal cannot be asked, the error says where else the password can come from.
Secret TypedPassword(const std::string &prompt, const std::string &what, const std::string &elsewhere)
{
    Secret typed = AskOnTerminal(prompt);
    if (!typed.value)
        return Failure(typed.error + "; " + elsewhere);
    return Usable(*typed.value, what);
}

} // namespace

Secret ReadSecretFile(const std::string &path)
{
    const InputFile line = ReadFirstLine(path, kMaxLineBytes);
    if (!line.bytes)
        return Failure(line.error);
    return Usable(WithoutCarriageReturn(*line.bytes), "the first line of " + path);
}

Secret AskOnTerminal(const std::string &prompt)
{
    TypedLine typed = TypedOnTerminal(prompt, Echo::Hidden);
    return Secret{std::move(typed.text), std::move(typed.error)};
}

Secret ObtainPassword(const std::optional<std::string> &passwordFile, const std::string &prompt)
{
    if (passwordFile)
        return ReadSecretFile(*passwordFile);
    if (const char *value = std::getenv(kPasswordVariable))
        return Usable(value, kPasswordVariable);
    return TypedPassword(prompt, "the password typed",
                         std::string("the password can also come from a file or from ") + kPasswordVariable);
}

Secret ObtainNewPassword(const std::optional<std::string> &newPasswordFile)
{
    if (newPasswordFile) {
        const Secret read = ReadSecretFile(*newPasswordFile);
        return NewPasswordTheCameraTakes(read, read.value.value_or(""));
    }
    const std::string elsewhere = "the new password can also come from a file";
    const Secret first = TypedPassword("New password: ", "the new password typed", elsewhere);
    if (!first.value)
        return first;
    const Secret second = TypedPassword("New password again: ", "the new password typed again", elsewhere);
    if (!second.value)
        return second;
    return NewPasswordTheCameraTakes(first, *second.value);
}
