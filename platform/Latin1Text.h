#pragma once
// Texts travel as bytes in std::string and are shown as Latin-1, so every byte survives
// the way into a control and back.

#include <QString>

#include <string>

inline std::string Latin1(const QString &text)
{
    return text.toLatin1().toStdString();
}

inline QString Latin1(const std::string &text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}
