#include "app/UserFiles.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>

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

// QSaveFile writes beside the file and renames over it at commit; it would write
// through a link to wherever the link points, which another user may have planted.
QString WriteWholeFile(const QString &path, const QByteArray &bytes)
{
    if (QFileInfo(path).isSymLink())
        return QStringLiteral("it is a link");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return file.errorString();
    return {};
}
