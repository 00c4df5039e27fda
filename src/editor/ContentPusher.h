#pragma once

#include "editor/PageLines.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QVariant>
#include <functional>
#include <memory>

class EditorPage;
class TreeNode;

// Keeps the editor page showing the document's text. The text is the tree's pretty form, written natively a
// slice at a time between events; only the lines that differ from what the page shows go to it, fetched by
// the page from the window (EditorPage::offerText) rather than written into a script. The window keeps a hash
// of each line the page shows, not a copy of the text. Requests that arrive while a push is being prepared or
// answered are merged into one push of the latest text, so a burst of edits costs one push.
class ContentPusher : public QObject
{
    Q_OBJECT

public:
    // The tree to show, read on the main thread when a push goes out; none means there is nothing to push.
    using TreeSource = std::function<const TreeNode*()>;
    // What the page shows, as far as the window knows: the version it was given or made, and a hash of each line.
    struct PageState
    {
        qint64 version = 0;
        std::shared_ptr<const PageLines::Hashes> lines;
    };

    explicit ContentPusher(TreeSource source, QObject* parent = nullptr);

    void setPage(EditorPage* page);
    EditorPage* page() const { return m_page; }
    // Texts of more than this many bytes are not pushed: the page shows a notice instead of the document.
    void setTextLimit(qsizetype bytes) { m_textLimit = bytes; }
    qsizetype textLimit() const { return m_textLimit; }
    // Texts go to the page in parts of about this many bytes, each of whole lines.
    void setPartLength(qsizetype bytes) { m_partLength = std::max<qsizetype>(bytes, 1); }
    // The page holds the document's text, as last pushed or as typed there: not while it shows the notice, nor
    // after a push that failed and may have left it with an older text.
    bool pageHoldsDocument() const { return !m_pageWithoutDocument; }
    PageState pageState() const { return m_state; }
    // Asks for a push of the current text.
    void request();
    // Another tree is shown (a document opened, or made from text): its text is pushed whole.
    void treeReplaced()
    {
        m_treeReplaced = true;
        m_tooLarge = false;
    }
    // Pushes only when the page may not have the latest text: no push has reached it since it loaded or
    // since the last request.
    void requestIfBehind();
    // The page's text after an edit made there, which the document now follows (or, when refused, which the
    // page still shows): `version` is the page's, and `lines` the hashes of that text, if known.
    void pageEdited(qint64 version, std::shared_ptr<const PageLines::Hashes> lines);
    // The page's "pushShown" message: the push of `version` shown (true), refused as made against a text the
    // page no longer shows (false), or failed (anything else).
    void pageShowed(qint64 version, const QVariant& result);
    // The page is loading: a push now would be lost, so requests wait for pageReloaded().
    void pageLoading();
    // The page was (re)loaded: it holds no text, and answers still awaited from the old page will not come.
    void pageReloaded();
    bool pageIsLoading() const { return m_loading; }
    // Nothing is waiting to go out or to be answered.
    bool isIdle() const { return !m_scheduled && !m_preparing && !m_inFlight && !m_wanted; }

signals:
    // The page has answered a push.
    void pushed();

private:
    struct Push;

    void schedule();
    void pushNow();
    void partWritten(const std::shared_ptr<Push>& push, QByteArray lines);
    void written(const std::shared_ptr<Push>& push);
    void sendChange(const std::shared_ptr<Push>& push);
    void sendWhole(const std::shared_ptr<Push>& push);
    void stage(const std::shared_ptr<Push>& push, QByteArray lines);
    void show(const std::shared_ptr<Push>& push, bool whole, PageLines::Change change);
    void answered(const std::shared_ptr<Push>& push, bool whole, const QVariant& result);
    void finished(bool reached);
    void showNotice(const QString& notice);

    // The push the page is showing, until it says so.
    struct Showing
    {
        std::shared_ptr<Push> push;
        bool whole = false;
    };
    Showing m_showing;

    TreeSource m_source;
    QPointer<EditorPage> m_page;
    bool m_wanted = false;
    bool m_scheduled = false;
    bool m_preparing = false;
    bool m_inFlight = false;
    bool m_loading = false;
    // The page may lack the latest text.
    bool m_behind = true;
    // The page holds the text as lines, so no JavaScript string has to hold it whole; its process is what limits
    // it. Measured: 159 M characters (the 100 MiB document) take the page's processes 0.7 GiB, 634 M (400 MiB)
    // 2.0 GiB. The 1 GiB document's 1.7 G characters would need about 5 GiB, beyond what the engine's
    // JavaScript heap can hold, so texts over 768 MiB get the notice.
    qsizetype m_textLimit = qsizetype(768) << 20;
    qsizetype m_partLength = qsizetype(16) << 20;
    bool m_pageWithoutDocument = false;
    bool m_sendingNotice = false;
    PageState m_state;
    // Another tree is shown than was last pushed: it goes whole, sent while it is written, instead of compared.
    bool m_treeReplaced = true;
    // The tree shown was found too large for the page, which keeps the notice until another tree is shown:
    // writing it again only to find that out would cost seconds at each edit.
    bool m_tooLarge = false;
    qint64 m_lastVersion = 0;
    quint64 m_epoch = 0;
};
