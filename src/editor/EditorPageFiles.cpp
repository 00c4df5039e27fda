#include "editor/EditorPageFiles.h"

#include "editor/EditorPage.h"
#include "model/InstallLayout.h"
#include "model/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPalette>
#include <QUrl>

namespace EditorPageFiles {

QString defaultDirectory()
{
    return InstallLayout::editorPageDirectory();
}

QString pageFileName(bool dark)
{
    return dark ? QStringLiteral("index-dark.html") : QStringLiteral("index.html");
}

bool systemAppearanceIsDark()
{
    const QPalette palette = QGuiApplication::palette();
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
}

bool loadPage(EditorPage& page, const QString& directory, bool dark, const char* function)
{
    const QString path = QDir(directory).filePath(pageFileName(dark));
    if (!QFileInfo(path).isFile()) {
        BW_LOG_ERROR(function, QStringLiteral("Could not locate editor HTML resource"));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        BW_LOG_ERROR(function, file.errorString());
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        BW_LOG_ERROR(function, file.errorString());
        return false;
    }
    page.loadHtml(QString::fromUtf8(bytes), QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    return true;
}

} // namespace EditorPageFiles
