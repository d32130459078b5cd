#include "app/UserFiles.h"

#include "platform/OutputFile.h"

#include <QFileDialog>

namespace {

FileAsker g_asker;

QString AskWithFileDialog(const FileRequest &request)
{
    if (request.choice == FileChoice::Open)
        return QFileDialog::getOpenFileName(request.owner, request.caption, QString(), request.filter);
    return QFileDialog::getSaveFileName(request.owner, request.caption, request.suggestedName, request.filter);
}

} // namespace

QString AskFileName(const FileRequest &request)
{
    return g_asker ? g_asker(request) : AskWithFileDialog(request);
}

FileAsker SetFileAsker(FileAsker asker)
{
    FileAsker previous = std::move(g_asker);
    g_asker = std::move(asker);
    return previous;
}

QString WriteWholeFile(const QString &path, const QByteArray &bytes)
{
    const std::string_view content(bytes.constData(), std::size_t(bytes.size()));
    return QString::fromStdString(WriteWholeFile(path.toStdString(), content));
}
