#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <memory>

class Document;
class ExportController;
class Workspace;

// The document commands: New, Open…, Open Recent, Open from Clipboard, Save and Save As…, the system's open
// requests, the question asked before unsaved changes are dropped, and the window's subtitle.
class DocumentController : public QObject
{
    Q_OBJECT
public:
    // Where a document read by the relaxed reader came from.
    enum class ReadSource { File, Clipboard, Download };

    DocumentController(Workspace& workspace, ExportController& exports, QObject* parent = nullptr);

    // Installs a new "Untitled" document made from `text`; false (and an alert) when it is not valid JSON.
    bool loadJSONString(const QString& text);
    // Reads the file on a worker thread, then installs it; the window stays responsive meanwhile.
    void openDocumentURL(const QString& path);
    // Installs a document just read, asking first when it was not plain JSON (unless its file name said what it
    // holds), and notes its duplicate keys in the status bar. False when the user declined.
    bool installReadDocument(std::unique_ptr<Document> document, ReadSource source, const QString& fileName = {});
    // Open from Clipboard's reading: plain JSON, or after a question JSON with comments, JSON5 or JSON Lines.
    void loadClipboardText(const QString& text);

    // The same question with the usual texts, asked only while there are unsaved changes.
    void proceedDroppingChanges(const QString& suppressionKey, const std::function<void()>& action);
    void newDocument();
    void openDocument();
    void openFromClipboard();
    void saveDocument();
    void saveDocumentAs();
    // The system's requests to open files: only the first is opened, after confirmProceed when unsaved.
    bool openFile(const QString& path);
    void openFiles(const QStringList& paths);
    void openURLs(const QList<QUrl>& urls);
    // Asks to save unsaved changes before the window closes; false keeps the window open.
    bool windowShouldClose();
    // File > Open Recent, rebuilt from the recently used documents as it opens.
    void setRecentMenu(QMenu* menu);
    void updateRecentMenu();

    bool isLoading() const { return m_isLoading; }
    QString windowSubtitle() const { return m_subtitle; }
    void updateWindowSubtitle();

signals:
    void isLoadingChanged();

private:
    // Runs `action` once the user agreed (or had said not to ask again under `suppressionKey`).
    void confirmProceed(const QString& title, const QString& message, const QString& suppressionKey,
                        const std::function<void()>& action);
    void runOpenPanel();
    void showLoadFailure();
    void setLoading(bool loading);
    void setSubtitle(const QString& subtitle);

    Workspace& m_workspace;
    ExportController& m_exports;
    bool m_isLoading = false;
    QString m_subtitle;
    QPointer<QMenu> m_recentMenu;
    // Only the latest file read may install its document.
    quint64 m_loadGeneration = 0;
};
