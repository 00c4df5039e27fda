#pragma once

#include "app/MailingListPromptView.h"
#include "app/Prompts.h"
#include "editor/EditorPage.h"
#include "jq/JqRun.h"
#include "model/Document.h"
#include "model/ExportFormat.h"
#include "model/SearchSettings.h"
#include "net/Downloader.h"

#include <QColor>
#include <QJsonValue>
#include <QMenu>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

class ContentPusher;
class PageEditReader;
class EditStep;
class UndoHistory;
class DownloaderPopover;
class MailingListManager;
class Updater;
class UpdaterUi;
class FindReplaceDialog;
class GoToPathDialog;
class HeaderEntry;
class QNetworkAccessManager;
class JqPanel;
class MainWindow;
class OutlineModel;
class QAction;
class QWebEngineView;
class QMenu;
class TreeNode;
enum class PathStyle;

// The one application controller: owns the main window and the current document, keeps the window's state
// as observable properties, and carries out every user command. The widgets follow the properties.
class AppDelegate : public QObject
{
    Q_OBJECT
    Q_PROPERTY(Document* TheDocument READ TheDocument NOTIFY TheDocumentChanged)
    Q_PROPERTY(QString CurrentPath READ CurrentPath NOTIFY CurrentPathChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(QString windowSubtitle READ windowSubtitle NOTIFY windowSubtitleChanged)
    Q_PROPERTY(QString SearchPredicateValue READ SearchPredicateValue WRITE setSearchPredicateValue NOTIFY
                   SearchPredicateValueChanged)
    Q_PROPERTY(bool SearchPredicateCaseSensitive READ SearchPredicateCaseSensitive WRITE setSearchPredicateCaseSensitive
                   NOTIFY SearchPredicateCaseSensitiveChanged)
    Q_PROPERTY(bool SearchPredicateRegularExpressions READ SearchPredicateRegularExpressions WRITE
                   setSearchPredicateRegularExpressions NOTIFY SearchPredicateRegularExpressionsChanged)
    Q_PROPERTY(QString SearchErrorMessage READ SearchErrorMessage NOTIFY SearchErrorMessageChanged)
    Q_PROPERTY(QStringList recentSearches READ recentSearches NOTIFY recentSearchesChanged)
    Q_PROPERTY(int maxRecentSearches READ maxRecentSearches CONSTANT)
    Q_PROPERTY(bool ShowRowIcons READ ShowRowIcons WRITE setShowRowIcons NOTIFY ShowRowIconsChanged)
    Q_PROPERTY(bool SearchIsShown READ SearchIsShown WRITE setSearchIsShown NOTIFY SearchIsShownChanged)
    Q_PROPERTY(bool CodeIsShown READ CodeIsShown WRITE setCodeIsShown NOTIFY CodeIsShownChanged)
    Q_PROPERTY(QString JsonError READ JsonError NOTIFY JsonErrorChanged)
    Q_PROPERTY(bool DownloaderIsShown READ DownloaderIsShown NOTIFY DownloaderIsShownChanged)
    Q_PROPERTY(bool isDownloading READ isDownloading NOTIFY isDownloadingChanged)
    Q_PROPERTY(bool headersCollapsed READ headersCollapsed NOTIFY headersCollapsedChanged)
    Q_PROPERTY(bool isJQPanelShown READ isJQPanelShown NOTIFY isJQPanelShownChanged)
    Q_PROPERTY(bool hasJQError READ hasJQError WRITE setHasJQError NOTIFY hasJQErrorChanged)
    Q_PROPERTY(QString JQmessage READ JQmessage WRITE setJQmessage NOTIFY JQmessageChanged)
    Q_PROPERTY(QColor JQmessageColor READ JQmessageColor WRITE setJQmessageColor NOTIFY JQmessageColorChanged)

public:
    explicit AppDelegate(QObject* parent = nullptr);
    ~AppDelegate() override;

    MainWindow* window() const { return m_window.get(); }
    OutlineModel* outlineModel() const { return m_outlineModel; }
    // Replaces the dialogs (tests answer from a script); not owned. nullptr restores the dialogs.
    void setPrompts(Prompts* prompts);
    // The current document's edit history (Edit > Undo and Redo).
    UndoHistory* undoHistory() const { return m_undo; }

    // --- State ---
    Document* TheDocument() const { return m_document.get(); }
    TreeNode* CurrentNode() const { return m_currentNode; }
    // Null while nothing is selected.
    QString CurrentPath() const { return m_currentPath; }
    bool isLoading() const { return m_isLoading; }
    QString windowSubtitle() const { return m_subtitle; }
    QString SearchPredicateValue() const { return m_searchValue; }
    void setSearchPredicateValue(const QString& value);
    bool SearchPredicateCaseSensitive() const { return m_searchCaseSensitive; }
    void setSearchPredicateCaseSensitive(bool on);
    bool SearchPredicateRegularExpressions() const { return m_searchRegularExpressions; }
    void setSearchPredicateRegularExpressions(bool on);
    // Null while the search is valid.
    QString SearchErrorMessage() const { return m_searchError; }
    QStringList recentSearches() const { return m_recentSearches; }
    static int maxRecentSearches() { return 10; }
    bool ShowRowIcons() const { return m_showRowIcons; }
    void setShowRowIcons(bool on);
    bool SearchIsShown() const { return m_searchIsShown; }
    void setSearchIsShown(bool shown);
    bool CodeIsShown() const { return m_codeIsShown; }
    void setCodeIsShown(bool shown);

    // --- Application lifecycle ---
    void applicationDidFinishLaunching();
    void applicationShouldHandleReopen();
    void doReopenWindow();
    // The system's requests to open files: only the first is opened, after confirmProceed when unsaved.
    bool openFile(const QString& path);
    void openFiles(const QStringList& paths);
    void openURLs(const QList<QUrl>& urls);

    // --- Documents ---
    // Installs a new "Untitled" document made from `text`; false (and an alert) when it is not valid JSON.
    bool loadJSONString(const QString& text);
    // Reads the file on a worker thread, then installs it; the window stays responsive meanwhile.
    void openDocumentURL(const QString& path);
    // Where a document read by the relaxed reader came from (AppDelegateReading.cpp).
    enum class ReadSource { File, Clipboard, Download };
    // Installs a document just read, asking first when it was not plain JSON (unless its file name said what it
    // holds), and notes its duplicate keys in the status bar. False when the user declined.
    bool installReadDocument(std::unique_ptr<Document> document, ReadSource source, const QString& fileName = {});
    // Open from Clipboard's reading: plain JSON, or after a question JSON with comments, JSON5 or JSON Lines.
    void loadClipboardText(const QString& text);
    void refreshOutline();
    void updateWindowSubtitle();
    void confirmProceed(const QString& title, const QString& message, const QString& suppressionKey,
                        const std::function<void()>& action);
    void newDocument();
    void openDocument();
    void openFromClipboard();
    void saveDocument();
    void saveDocumentAs();
    void exportToXML() { exportWithPanel(ExportFormat::Xml); }
    void exportToYAML() { exportWithPanel(ExportFormat::Yaml); }
    void exportToPlistXML() { exportWithPanel(ExportFormat::PlistXml); }
    void exportToPlistOpenStep() { exportWithPanel(ExportFormat::PlistOpenStep); }
    void exportToPlistBinary() { exportWithPanel(ExportFormat::PlistBinary); }
    // exportWithPanel(_:document:page:): asks where, then writes. True when the file was written, or for
    // every format but JSON, when its export started (exportFinished() tells the outcome).
    bool exportWithPanel(ExportFormat format);
    bool writeExport(const QString& path, ExportFormat format);
    // brackwell-cli, which writes every export but JSON; beside this program unless set.
    void setHelperProgram(const QString& program);
    QString helperProgram() const;
    // Asks to save unsaved changes before the window closes; false keeps the window open.
    bool windowShouldClose();

    // --- Outline ---
    void outlineViewSelectionDidChange();
    void toggleRowIcons() { setShowRowIcons(!m_showRowIcons); }
    void toggleCodePanel() { setCodeIsShown(!m_codeIsShown); }
    void expandAllRows();
    void collapseAllRows();
    void reloadCurrentRow();

    // --- Tree editing commands ---
    void addForSelectedRow();
    void removeSelectedRow();
    void copyNodePath();
    void copyNodeAsJSON();
    // Paths that tools read (AppDelegatePaths.cpp): Copy Path As ▸ and Edit → Go to Path….
    void copyNodePathAs(PathStyle style);
    QMenu* copyPathAsMenu();
    void showGoToPath();
    // Selects the node a path leads to, showing its row; false, with the reason in the dialog, when none.
    bool goToPath(const QString& path);
    GoToPathDialog* goToPathDialog() const { return m_goToPathDialog; }
    // The copy notice on screen, while it is shown.
    QMessageBox* transientNotice() const { return m_notice; }

    // --- Search ---
    void toggleSearchPanel() { setSearchIsShown(!m_searchIsShown); }
    void selectRecentSearch(const QString& title);
    void clearRecentSearches();
    void addRecentSearch(const QString& text);
    void updateSearchMenu();
    void searchFieldClicked() { updateSearchMenu(); }
    QMenu* searchMenu() const { return m_searchMenu.get(); }
    QMenu* viewMenu() const { return m_viewMenu; }
    QMenu* toolsMenu() const { return m_toolsMenu; }
    QAction* openFromClipboardAction() const { return m_openFromClipboardAction; }
    QAction* findReplaceAction() const { return m_findReplaceAction; }

    // --- Code editor page ---
    // The page the controller talks to instead of its own web page (tests); not owned. Set before launch.
    void setWebview(EditorPage* page);
    EditorPage* Webview() const { return m_webview; }
    // Where index.html and index-dark.html are looked up; beside the program unless set.
    QString editorPageDirectory() const;
    void setEditorPageDirectory(const QString& directory);
    // Whether set-up chose the dark page.
    bool editorPageIsDark() const { return m_pageIsDark; }
    void setupWebview();
    // Pushes the document's text into the page. Pushes in quick succession are merged into one of the latest
    // text, sent from the event loop.
    void updateWebviewContent();
    bool editorPushIsIdle() const;
    ContentPusher* editorPusher() const { return m_pusher; }
    // A message the page posted to "jsHandler".
    void userContentController(const QJsonValue& body);
    // Applies the page's text: replaces the tree when it is a document; never pushes back.
    void contentChanged(const QJsonValue& content);
    void webViewDidFinish(bool ok);
    // Why the text typed in the page was not taken (the reader's error); null while it was.
    QString JsonError() const { return m_jsonError; }

    // --- Updates ---
    Updater* updater() const { return m_updater.get(); }
    // Replaces the update dialogs (tests record them); not owned. nullptr restores the dialogs.
    void setUpdaterUi(UpdaterUi* ui);
    void checkForUpdates();

    // --- Newsletter ---
    // The manager the start-up wiring uses instead of the shared one (tests); not owned.
    void setMailingListManager(MailingListManager* manager);
    void updateHelpMenu(bool optedOut);
    void showMailingListPrompt();
    QAction* subscribeMenuItem() const { return m_subscribeMenuItem; }
    MailingListPromptView* mailingListSheet() const { return m_mailingListSheet; }

    // --- Downloader ---
    bool DownloaderIsShown() const { return m_downloaderIsShown; }
    bool isDownloading() const { return m_isDownloading; }
    bool headersCollapsed() const { return m_headersCollapsed; }
    const QList<HeaderEntry*>& headers() const { return m_headers; }
    HeaderEntry* addHeader();
    void removeHeader(int row);
    // The window's download button passes itself; any other sender is refused with a log line.
    void toggleDownloadPopover(QObject* sender);
    void toggleHeaders(bool on);
    void showDownloaderMenu();
    // Sends the popover's request; the answer replaces the document or ends in an alert.
    void downloadFromWebRequest();
    DownloaderPopover* downloadPopover();

    // --- jq ---
    bool isJQPanelShown() const { return m_isJQPanelShown; }
    bool hasJQError() const { return m_hasJQError; }
    // Also sets the status colour, and for a success the message.
    void setHasJQError(bool failed);
    QString JQmessage() const { return m_jqMessage; }
    void setJQmessage(const QString& message);
    QColor JQmessageColor() const { return m_jqMessageColor; }
    void setJQmessageColor(const QColor& color);
    static QColor initialJqMessageColor();
    void showJQPanel();
    void closeJQPanel();
    // Runs the panel's filter over the document; the window stays responsive until jq ends. Asked again while
    // jq runs, it runs the filter then in the field once the current run has ended (only the latest one waits).
    void executeJQ();
    // Ends the current run and drops the one waiting for it.
    void stopJQ();
    bool isRunningJQ() const;
    void jqRecipeButtonClicked();
    void jqRecipePicked(const QString& templateText);
    JqPanel* jqPanel();
    QMenu* jqRecipeMenu() const { return m_jqRecipeMenu; }
    // The jq executable; the bundled one unless set (tests use stand-ins).
    QString jqProgram() const;
    void setJqProgram(const QString& program);

    // --- Find & Replace ---
    void showFindReplace();
    void closeFindReplace();
    void performReplaceAll();
    FindReplaceDialog* findReplacePanel() const { return m_findReplacePanel; }
    // Rebuilds File > Open Recent from the recently used documents.
    void updateRecentMenu();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    void DownloaderIsShownChanged();
    void isDownloadingChanged();
    void headersCollapsedChanged();
    void headersChanged();
    // An answer of the downloader was handled (alert shown, or document replaced or kept).
    void downloadHandled();
    void jqRunFinished();
    void isJQPanelShownChanged();
    void hasJQErrorChanged();
    void JQmessageChanged();
    void JQmessageColorChanged();
    void exportFinished(bool ok);
    void JsonErrorChanged();
    void TheDocumentChanged();
    void CurrentNodeChanged();
    void CurrentPathChanged();
    void isLoadingChanged();
    void windowSubtitleChanged();
    void SearchPredicateValueChanged();
    void SearchPredicateCaseSensitiveChanged();
    void SearchPredicateRegularExpressionsChanged();
    void SearchErrorMessageChanged();
    void recentSearchesChanged();
    void ShowRowIconsChanged();
    void SearchIsShownChanged();
    void CodeIsShownChanged();

private:
    void connectWindow();
    void setupMainMenu();
    void setupOutlineContextMenu();
    void setupSearchMenu();
    void installDocument(std::unique_ptr<Document> document);
    // Connects the document's notifications (those of whichever tree it holds) to this controller.
    void listenToDocument();
    // Points the outline at `root`, dropping the selection. The caller keeps the old tree alive until then,
    // since the outline and the selection still point into it.
    void showTree(TreeNode* root);
    void setSubtitle(const QString& subtitle);
    void setLoading(bool loading);
    void setCurrentNode(TreeNode* node);
    void setCurrentPath(const QString& path);
    bool isUnsaved() const;
    void treeDataChanged();
    void searchPredicateChanged();
    void searchOptionsChanged();
    void validateSearchRegex();
    void updateSearchPanelLayout();
    void updateCodePanelLayout();
    void showTransientNotice(const QString& title, const QString& message);
    void showLoadFailure();
    void runOpenPanel();
    void setIsJQPanelShown(bool shown);
    void setDownloaderIsShown(bool shown);
    void setIsDownloading(bool downloading);
    void closeDownloadPopover();
    void finishDownload(const Downloader::Answer& failure, std::unique_ptr<Document> document,
                        const QString& fileName = {});
    void connectMailingList();
    void applyMailingListSheetRule(bool presented);
    void failJQ(const QString& logText, const QString& message, const QString& result);
    void startJQ(const QString& filter);
    void jqFinished(const JqRun::Outcome& outcome);
    QMenu* makeJqRecipeMenu();
    bool startHelperExport(const QString& path, ExportFormat format);
    void setJsonError(const QString& error);
    void readPageText(std::unique_ptr<Document> document, std::optional<ParseError> error);
    void refusePageText(const ParseError& error);
    bool isTextEditor(QWidget* widget) const;
    void applyPageTree(OwnedTree root);
    void reselect(TreeNode* node);
    void recordCellEdit(TreeNode* node, const NodeState& before, int column);
    // Shows an undone or redone step: its rows follow, and its node is selected.
    void showEditStep(const EditStep& step, bool undone);
    Prompts& prompts();

    std::unique_ptr<MainWindow> m_window;
    OutlineModel* m_outlineModel = nullptr;
    UndoHistory* m_undo = nullptr;
    std::unique_ptr<Prompts> m_dialogPrompts;
    Prompts* m_prompts = nullptr;
    // The search the outline's trees follow; declared before the document, whose trees point at it.
    SearchSettings m_searchSettings;
    std::unique_ptr<Document> m_document;
    TreeNode* m_currentNode = nullptr;
    QString m_currentPath;
    bool m_isLoading = false;
    QString m_subtitle;
    // The empty document of start-up and New holds nothing that closing could lose.
    bool m_documentIsBlank = false;
    QString m_searchValue;
    bool m_searchCaseSensitive = true;
    bool m_searchRegularExpressions = false;
    QString m_searchError;
    QStringList m_recentSearches;
    bool m_showRowIcons = false;
    bool m_searchIsShown = true;
    bool m_codeIsShown = true;
    bool m_launched = false;
    // Only the latest file read may install its document.
    quint64 m_loadGeneration = 0;
    std::unique_ptr<QMenu> m_searchMenu;
    QMenu* m_viewMenu = nullptr;
    QMenu* m_toolsMenu = nullptr;
    QAction* m_openFromClipboardAction = nullptr;
    QAction* m_findReplaceAction = nullptr;
    FindReplaceDialog* m_findReplacePanel = nullptr;
    QMenu* m_copyPathAsMenu = nullptr;
    GoToPathDialog* m_goToPathDialog = nullptr;
    QAction* m_rowIconsAction = nullptr;
    QPointer<QMessageBox> m_notice;
    QString m_helperProgram;
    bool m_isJQPanelShown = false;
    bool m_hasJQError = false;
    QString m_jqMessage = QStringLiteral("Enter a command to see the results");
    QColor m_jqMessageColor = initialJqMessageColor();
    JqPanel* m_jqPanel = nullptr;
    JqRun* m_jqRun = nullptr;
    std::optional<QString> m_waitingJqFilter;
    bool m_jqStopRequested = false;
    QPointer<QMenu> m_jqRecipeMenu;
    QString m_jqProgram;
    bool m_downloaderIsShown = false;
    bool m_isDownloading = false;
    bool m_headersCollapsed = true;
    QList<HeaderEntry*> m_headers;
    DownloaderPopover* m_downloadPopover = nullptr;
    QNetworkAccessManager* m_network = nullptr;
    std::unique_ptr<UpdaterUi> m_updaterDialogs;
    std::unique_ptr<Updater> m_updater;
    MailingListManager* m_mailingListOverride = nullptr;
    MailingListManager* m_mailingList = nullptr;
    QPointer<MailingListPromptView> m_mailingListSheet;
    QPointer<QAction> m_subscribeMenuItem;
    QPointer<EditorPage> m_webview;
    // The view that shows the page, when this controller made it.
    QPointer<QWebEngineView> m_editorView;
    QString m_editorPageDirectory;
    bool m_pageIsDark = false;
    ContentPusher* m_pusher = nullptr;
    PageEditReader* m_pageEdits = nullptr;
    QString m_jsonError;
};
