#pragma once

#include <QMainWindow>
#include <functional>

class OutlineView;
class QProgressBar;
class QLabel;
class QSplitter;
class QToolButton;
class SearchField;

// The window description: the left pane with the search bar above the outline, the code pane to its right, and
// a busy indicator. The feature controllers connect and drive every control; MainMenus fills its menu bar.
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

    // Decides whether the window may close (unsaved changes); closing is allowed without one.
    void setCloseGuard(std::function<bool()> guard) { m_closeGuard = std::move(guard); }

    // "<subtitle> — Brackwell", or "Brackwell" without a subtitle; `modified` drives the edited mark.
    void showSubtitle(const QString& subtitle, bool modified);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
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
    std::function<bool()> m_closeGuard;
};
