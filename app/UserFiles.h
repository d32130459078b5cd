#pragma once
// Files the user names in the window: chosen with the system's file dialog, or with the
// asker the window was given (tests name them themselves), and written whole.

#include <QString>

#include <functional>

class QWidget;

enum class FileChoice { Open, Save };

struct FileRequest {
    FileChoice choice;
    QString caption;
    QString filter;        // as QFileDialog takes it: "CSV files (*.csv)"
    QString suggestedName; // a save's starting name
    QWidget *owner;
};

// The chosen file's path; empty when the user chose none.
using FileAsker = std::function<QString(const FileRequest &)>;

// Asks the asker, or the system's file dialog when the asker is empty.
QString AskFileName(const FileAsker &asker, const FileRequest &request);

// Writes the bytes as the file's whole content, as every file the program writes is
// written (platform/OutputFile.h); the reason when it did not happen. A link at the path
// is refused, and never written through.
QString WriteWholeFile(const QString &path, const QByteArray &bytes);
