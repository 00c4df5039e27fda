#pragma once

// Helpers shared by the window tests: alerts and questions answered from a script, settings on a temporary
// file, and a launched controller.

#include "TestSupport.h"
#include "app/AppDelegate.h"
#include "app/MainWindow.h"
#include "app/Prompts.h"
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
#include "app/outline/OutlineModel.h"
#include "app/outline/OutlineView.h"
#include "app/paths/PathController.h"
#include "app/search/SearchController.h"
#include "model/Alerts.h"
#include "model/Settings.h"

#include <QList>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <deque>

// A small document (a number, an array of texts in mixed case, an object) that several window tests search.
const QString kFruits =
    QStringLiteral("{\"count\":3,\"fruits\":[\"apple\",\"Banana\",\"cherry\"],\"owner\":{\"name\":\"Ann\"}}");

// Answers the controller's questions from queues filled by the test; an unexpected question fails the
// test and is answered with Cancel.
class ScriptedPrompts : public Prompts
{
public:
    ConfirmationAnswer confirm(const Confirmation& confirmation) override
    {
        confirmations << confirmation;
        if (confirmationAnswers.empty()) {
            unexpected << confirmation.title;
            return {};
        }
        const ConfirmationAnswer answer = confirmationAnswers.front();
        confirmationAnswers.pop_front();
        return answer;
    }
    SaveChoice askToSaveChanges(const QString& documentName) override
    {
        saveQuestions << documentName;
        if (saveAnswers.empty()) {
            unexpected << documentName;
            return SaveChoice::Cancel;
        }
        const SaveChoice answer = saveAnswers.front();
        saveAnswers.pop_front();
        return answer;
    }
    QString chooseFileToOpen() override { return take(openPaths); }
    QString chooseSaveLocation(ExportFormat format) override
    {
        saveFormats << format;
        return take(savePaths);
    }

    QList<Confirmation> confirmations;
    QStringList saveQuestions;
    QStringList unexpected;
    std::deque<ConfirmationAnswer> confirmationAnswers;
    std::deque<SaveChoice> saveAnswers;
    std::deque<QString> openPaths;
    std::deque<QString> savePaths;
    QList<ExportFormat> saveFormats;

private:
    QString take(std::deque<QString>& queue)
    {
        if (queue.empty())
            return {};
        QString path = queue.front();
        queue.pop_front();
        return path;
    }
};

// Settings on a fresh temporary file, so that no test touches the user's own.
class TemporarySettings
{
public:
    TemporarySettings()
    {
        QStandardPaths::setTestModeEnabled(true);
        Settings::useFile(path());
    }
    QString path() const { return m_dir.filePath(QStringLiteral("settings.ini")); }
    // A new settings instance on the same file, as the next launch would read it.
    void reopen() const { Settings::useFile(path()); }

private:
    QTemporaryDir m_dir;
};

// A launched controller whose alerts are recorded, whose questions come from a script and whose settings live
// in a temporary file. A test that must set the controller up first launches it itself.
struct LaunchedApp
{
    TemporarySettings settings;
    AlertRecorder alerts;
    ScriptedPrompts prompts;
    AppDelegate delegate;

    explicit LaunchedApp(bool launchNow = true)
    {
        if (launchNow)
            launch();
    }
    void launch()
    {
        delegate.applicationDidFinishLaunching();
        delegate.setPrompts(&prompts);
    }
    Document* document() const { return delegate.TheDocument(); }
    OutlineModel* model() const { return delegate.outlineModel(); }
    OutlineView* view() const { return delegate.window()->outlineView(); }
    QString cell(int row, int column) const { return model()->data(model()->index(row, column)).toString(); }
    QStringList rowNames() const
    {
        QStringList names;
        for (int row = 0; row < model()->rowCount(); ++row)
            names << cell(row, OutlineModel::NameColumn);
        return names;
    }
    // The rows whose node carries the selected flag.
    QList<int> flaggedRows() const
    {
        QList<int> rows;
        for (int row = 0; row < model()->rowCount(); ++row)
            if (model()->nodeAt(row)->isSelected())
                rows << row;
        return rows;
    }
    QString subtitle() const { return delegate.windowSubtitle(); }
    // The document's compact JSON text, or "?" when it cannot be written.
    QString json() const { return QString::fromUtf8(document()->root()->jsonText().value_or("?")); }
    // Every alert as "title: message".
    QStringList alertTexts() const
    {
        QStringList texts;
        for (const Alert& alert : alerts.alerts)
            texts << alert.title + QStringLiteral(": ") + alert.message;
        return texts;
    }
    bool waitUntilLoaded() const
    {
        return QTest::qWaitFor([this] { return !delegate.isLoading(); }, 5000);
    }
    bool openAndWait(const QString& path)
    {
        delegate.openDocumentURL(path);
        return waitUntilLoaded();
    }
    // Shows the window and waits until it is active (keys go to the focus widget only then).
    bool showActive() const
    {
        MainWindow* window = delegate.window();
        window->show();
        window->activateWindow();
        return QTest::qWaitForWindowActive(window);
    }
};
