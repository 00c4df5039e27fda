#pragma once

#include "editor/EditorPage.h"
#include "model/Document.h"
#include "model/TreeNode.h"

#include <QJsonValue>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWebEnginePage>
#include <memory>
#include <optional>

class ContentPusher;
class OutlineController;
class PageEditReader;
class QWebEngineView;
class QWidget;
class Workspace;

// The code pane: loading the editor page, pushing the document's text into it, and taking back what the user
// types there.
class EditorController : public QObject
{
    Q_OBJECT
public:
    EditorController(Workspace& workspace, OutlineController& outline, QObject* parent = nullptr);

    // The page to talk to instead of a web page of its own (tests); not owned. Set before launch.
    void setWebview(EditorPage* page) { m_webview = page; }
    EditorPage* Webview() const { return m_webview; }
    // Where index.html and index-dark.html are looked up; beside the program unless set.
    QString editorPageDirectory() const;
    void setEditorPageDirectory(const QString& directory) { m_editorPageDirectory = directory; }
    // Whether set-up chose the dark page.
    bool editorPageIsDark() const { return m_pageIsDark; }
    // Loads the page, and pushes the first text once it has had time to load.
    void launch();

    // Pushes the document's text into the page. Pushes in quick succession are merged into one of the latest
    // text, sent from the event loop.
    void updateWebviewContent();
    // Another document or an edited tree: what the page sent about the old text no longer applies, and the new
    // text goes to the page.
    void documentChanged();
    bool editorPushIsIdle() const;
    ContentPusher* editorPusher() const { return m_pusher; }
    // A message the page posted to "jsHandler".
    void userContentController(const QJsonValue& body);
    // Applies the page's text: replaces the tree when it is a document; never pushes back.
    void contentChanged(const QJsonValue& content);
    // Why the text typed in the page was not taken (the reader's error); null while it was.
    QString JsonError() const { return m_jsonError; }

    bool codeIsShown() const { return m_codeIsShown; }
    void setCodeIsShown(bool shown);
    void toggleCodePanel() { setCodeIsShown(!m_codeIsShown); }
    // Cut, Copy and Paste: on the code editor when it has the focus, else on the focused text field (`slot`).
    void triggerEditingAction(QWebEnginePage::WebAction pageAction, const char* slot);
    // The code editor's view, or one of the widgets inside it.
    bool isEditorWidget(QWidget* widget) const;

signals:
    void JsonErrorChanged();

private:
    void setupWebview();
    void webViewDidFinish(bool ok);
    void setJsonError(const QString& error);
    void readPageText(Document::Loaded read);
    void applyPageTree(OwnedTree root);

    Workspace& m_workspace;
    OutlineController& m_outline;
    QPointer<EditorPage> m_webview;
    // The view that shows the page, when this controller made it.
    QPointer<QWebEngineView> m_editorView;
    QString m_editorPageDirectory;
    bool m_pageIsDark = false;
    bool m_codeIsShown = true;
    ContentPusher* m_pusher = nullptr;
    PageEditReader* m_pageEdits = nullptr;
    QString m_jsonError;
};
