#pragma once

#include <QMainWindow>
#include <functional>

class OutlineView;
class QProgressBar;
class QLabel;
class QSplitter;
class QToolButton;
class SearchField;

// The window description: the left pane with the search bar above the outline, the code pane to its right,
// a busy indicator, and the File, Edit and Help menus. AppDelegate connects and drives every control.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr int searchBarHeight = 42;

    explicit MainWindow(QWidget* parent = nullptr);

    OutlineView* outlineView() const { return m_outline; }
    SearchField* searchField() const { return m_searchField; }
    QToolButton* caseSensitiveButton() const { return m_caseButton; }
    QToolButton* regularExpressionButton() const { return m_regexButton; }
    QWidget* searchBar() const { return m_searchBar; }
    QWidget* leftHandSideView() const { return m_leftPane; }
    QWidget* codePane() const { return m_codePane; }
    // Holds the editor page's view (its layout takes one widget).
    QWidget* editorHost() const { return m_editorHost; }
    // The editor's error text; hidden while there is none.
    QLabel* editorError() const { return m_editorError; }
    QSplitter* splitter() const { return m_splitter; }
    QProgressBar* busyIndicator() const { return m_busy; }
    // A note in the status bar that stays until the next document (such as the duplicate keys it holds).
    QLabel* statusNotice() const { return m_statusNotice; }
    // The toolbar button that the downloader opens under.
    QToolButton* downloadButton() const { return m_downloadButton; }

    QMenu* fileMenu() const { return m_fileMenu; }
    QMenu* recentMenu() const { return m_recentMenu; }
    QMenu* exportMenu() const { return m_exportMenu; }
    QMenu* editMenu() const { return m_editMenu; }
    // Puts Undo and Redo at the top of the Edit menu, above a separator.
    void setUndoActions(QAction* undo, QAction* redo);
    QMenu* helpMenu() const { return m_helpMenu; }
    // The window description's actions, each triggering the AppDelegate operation of the same name.
    QAction* newAction() const { return m_newAction; }
    QAction* openAction() const { return m_openAction; }
    QAction* saveAction() const { return m_saveAction; }
    QAction* saveAsAction() const { return m_saveAsAction; }
    QAction* exportXmlAction() const { return m_exportXml; }
    QAction* exportYamlAction() const { return m_exportYaml; }
    QAction* exportPlistXmlAction() const { return m_exportPlistXml; }
    QAction* exportPlistBinaryAction() const { return m_exportPlistBinary; }
    QAction* exportPlistOpenStepAction() const { return m_exportPlistOpenStep; }
    QAction* quitAction() const { return m_quitAction; }
    QAction* cutAction() const { return m_cutAction; }
    QAction* copyAction() const { return m_copyAction; }
    QAction* pasteAction() const { return m_pasteAction; }
    QAction* addRowAction() const { return m_addRowAction; }
    QAction* removeRowAction() const { return m_removeRowAction; }
    QAction* aboutAction() const { return m_aboutAction; }
    QAction* checkForUpdatesAction() const { return m_checkForUpdatesAction; }

    // Decides whether the window may close (unsaved changes); closing is allowed without one.
    void setCloseGuard(std::function<bool()> guard) { m_closeGuard = std::move(guard); }

    // "<subtitle> — Brackwell", or "Brackwell" without a subtitle; `modified` drives the edited mark.
    void showSubtitle(const QString& subtitle, bool modified);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();

    OutlineView* m_outline;
    SearchField* m_searchField;
    QToolButton* m_caseButton;
    QToolButton* m_regexButton;
    QWidget* m_searchBar;
    QWidget* m_leftPane;
    QWidget* m_codePane;
    QWidget* m_editorHost;
    QLabel* m_editorError;
    QSplitter* m_splitter;
    QProgressBar* m_busy;
    QLabel* m_statusNotice;
    QToolButton* m_downloadButton;
    QMenu* m_fileMenu = nullptr;
    QMenu* m_recentMenu = nullptr;
    QMenu* m_exportMenu = nullptr;
    QMenu* m_editMenu = nullptr;
    QMenu* m_helpMenu = nullptr;
    QAction* m_newAction = nullptr;
    QAction* m_openAction = nullptr;
    QAction* m_saveAction = nullptr;
    QAction* m_saveAsAction = nullptr;
    QAction* m_exportXml = nullptr;
    QAction* m_exportYaml = nullptr;
    QAction* m_exportPlistXml = nullptr;
    QAction* m_exportPlistBinary = nullptr;
    QAction* m_exportPlistOpenStep = nullptr;
    QAction* m_quitAction = nullptr;
    QAction* m_cutAction = nullptr;
    QAction* m_copyAction = nullptr;
    QAction* m_pasteAction = nullptr;
    QAction* m_addRowAction = nullptr;
    QAction* m_removeRowAction = nullptr;
    QAction* m_aboutAction = nullptr;
    QAction* m_checkForUpdatesAction = nullptr;
    std::function<bool()> m_closeGuard;
};
