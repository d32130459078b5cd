#include "app/UserFiles.h"

#include "platform/OutputFile.h"

#include <QFileDialog>

namespace {

QString AskWithFileDialog(const FileRequest &request)
{
    if (request.choice == FileChoice::Open)
        return QFileDialog::getOpenFileName(request.owner, request.caption, QString(), request.filter);
    return QFileDialog::getSaveFileName(request.owner, request.caption, request.suggestedName, request.filter);
}

} // namespace

QString AskFileName(const FileAsker &asker, const FileRequest &request)
{
    return asker ? asker(request) : AskWithFileDialog(request);
}

QString WriteWholeFile(const QString &path, const QByteArray &bytes)
{
    const std::string_view content(bytes.constData(), std::size_t(bytes.size()));
    return QString::fromStdString(WriteWholeFile(path.toStdString(), content));
}
