#pragma once

// What the window benchmarks share: the document named on the command line, settings in a temporary folder so
// that no run touches the user's own, and opening the document in the window.

#include "app/AppDelegate.h"
#include "app/Workspace.h"
#include "app/documents/DocumentController.h"
#include "app/documents/ExportController.h"
#include "app/downloader/DownloadController.h"
#include "app/editor/EditorController.h"
#include "app/findreplace/FindReplaceController.h"
#include "app/jq/JqController.h"
#include "app/menus/MainMenus.h"
#include "app/newsletter/NewsletterController.h"
#include "app/outline/OutlineController.h"
#include "app/paths/PathController.h"
#include "app/search/SearchController.h"
#include "model/Settings.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

class BenchSetup
{
public:
    BenchSetup(int argc, char* argv[])
    {
        Settings::useFile(m_settings.filePath(QStringLiteral("settings.ini")));
        if (argc < 2) {
            std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
            return;
        }
        m_path = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    }
    // The document's absolute path; empty after a usage error.
    QString path() const { return m_path; }

private:
    QTemporaryDir m_settings;
    QString m_path;
};

// Asks the window to open `path` and returns once the file has been read and installed.
inline void openAndWait(AppDelegate& delegate, const QString& path)
{
    QEventLoop loop;
    QObject::connect(delegate.documents(), &DocumentController::isLoadingChanged, &loop, [&] {
        if (!delegate.isLoading())
            loop.quit();
    });
    delegate.openDocumentURL(path);
    loop.exec();
}
