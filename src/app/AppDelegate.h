#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <memory>

class Document;
class DocumentController;
class DownloadController;
class EditorController;
class ExportController;
class FindReplaceController;
class JqController;
class MainMenus;
class MainWindow;
class NewsletterController;
class OutlineController;
class OutlineModel;
class PathController;
class Prompts;
class SearchController;
class TreeNode;
class QWidget;
class UndoHistory;
class Workspace;

// The application's facade: owns the main window, the workspace with the current document, and one controller
// per feature, and wires them together. The features' commands live in their controllers.
class AppDelegate : public QObject
{
    Q_OBJECT
public:
    explicit AppDelegate(QObject* parent = nullptr);
    ~AppDelegate() override;

    MainWindow* window() const { return m_window.get(); }
    Workspace& workspace() const { return *m_workspace; }
    OutlineModel* outlineModel() const { return m_outlineModel.get(); }
    // The current document's edit history (Edit > Undo and Redo).
    UndoHistory* undoHistory() const { return m_undo.get(); }
    // Replaces the dialogs (tests answer from a script); not owned. nullptr restores the dialogs.
    void setPrompts(Prompts* prompts);

    DocumentController* documents() const { return m_documents.get(); }
    ExportController* exports() const { return m_exports.get(); }
    OutlineController* outline() const { return m_outline.get(); }
    SearchController* search() const { return m_search.get(); }
    PathController* paths() const { return m_paths.get(); }
    EditorController* editor() const { return m_editor.get(); }
    JqController* jq() const { return m_jq.get(); }
    DownloadController* downloads() const { return m_downloads.get(); }
    FindReplaceController* findReplace() const { return m_findReplace.get(); }
    NewsletterController* newsletter() const { return m_newsletter.get(); }
    MainMenus* menus() const { return m_menus.get(); }

    Document* TheDocument() const;
    TreeNode* CurrentNode() const;
    // Null while nothing is selected.
    QString CurrentPath() const;
    bool isLoading() const;
    QString windowSubtitle() const;
    // Installs a new "Untitled" document made from `text`; false (and an alert) when it is not valid JSON.
    bool loadJSONString(const QString& text);
    // Reads the file on a worker thread, then installs it; the window stays responsive meanwhile.
    void openDocumentURL(const QString& path);
    // The system's requests to open files: only the first is opened, after a question when there are unsaved
    // changes.
    bool openFile(const QString& path);
    void openFiles(const QStringList& paths);
    void openURLs(const QList<QUrl>& urls);

    void applicationDidFinishLaunching();
    void applicationShouldHandleReopen();
    void doReopenWindow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void documentInstalled();
    void treeDataChanged();
    void listenToDocument();
    bool isTextEditor(QWidget* widget) const;

    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<OutlineModel> m_outlineModel;
    std::unique_ptr<UndoHistory> m_undo;
    std::unique_ptr<Prompts> m_dialogPrompts;
    std::unique_ptr<Workspace> m_workspace;
    std::unique_ptr<ExportController> m_exports;
    std::unique_ptr<DocumentController> m_documents;
    std::unique_ptr<OutlineController> m_outline;
    std::unique_ptr<SearchController> m_search;
    std::unique_ptr<PathController> m_paths;
    std::unique_ptr<EditorController> m_editor;
    std::unique_ptr<JqController> m_jq;
    std::unique_ptr<DownloadController> m_downloads;
    std::unique_ptr<FindReplaceController> m_findReplace;
    std::unique_ptr<NewsletterController> m_newsletter;
    std::unique_ptr<MainMenus> m_menus;
    bool m_launched = false;
};
