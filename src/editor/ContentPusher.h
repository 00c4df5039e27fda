#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <memory>
#include <functional>
#include <optional>

class EditorPage;

// Pushes the document's text into the editor page. Requests that arrive while a push is being prepared or
// while the page is still taking the last one are merged into one push of the latest text, so a burst of
// edits to a large document costs one push, and the page always ends up with the latest document. Large
// texts are turned into a script on a worker thread. A very long text goes in parts that the page stages
// (stagePushedText('…', first)) before updateContent(takePushedText(), true): handing the engine one script of
// hundreds of megabytes held up the window for up to a second and a half.
class ContentPusher : public QObject
{
    Q_OBJECT

public:
    // Produces the text on the main thread when a push goes out; nothing means there is nothing to push.
    using TextSource = std::function<std::optional<QByteArray>()>;

    explicit ContentPusher(TextSource source, QObject* parent = nullptr);

    void setPage(EditorPage* page);
    // Texts longer than this many characters are pushed in parts of this length.
    void setPartLength(qsizetype length);
    // Texts of more than this many bytes are not pushed: the page shows a notice instead of the document.
    void setTextLimit(qsizetype bytes) { m_textLimit = bytes; }
    qsizetype textLimit() const { return m_textLimit; }
    // The page holds the document's text, as last pushed or as typed there: not while it shows the notice, nor
    // after a push that failed and may have left it with an older text.
    bool pageHoldsDocument() const { return !m_pageWithoutDocument; }
    // Asks for a push of the current text.
    void request();
    // Pushes only when the page may not have the latest text: no push has reached it since it loaded or
    // since the last request.
    void requestIfBehind();
    // The page's own text is the latest (the document was just made from it).
    void pageHasLatest();
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
    void schedule();
    void pushNow();
    void send(QStringList scripts);
    void sendNext(std::shared_ptr<QStringList> scripts, quint64 epoch);
    void finished(quint64 epoch, bool reached);
    void showNotice(const QString& notice);

    TextSource m_source;
    QPointer<EditorPage> m_page;
    bool m_wanted = false;
    bool m_scheduled = false;
    bool m_preparing = false;
    bool m_inFlight = false;
    bool m_loading = false;
    // The page may lack the latest text.
    bool m_behind = true;
    qsizetype m_partLength = qsizetype(1) << 23;
    // The page pretty-prints the text into one JavaScript string, which holds at most 2^29 - 24 characters;
    // pretty-printed JSON runs about 1.7 times the compact text (measured on the 100 MiB document), so
    // 256 MiB of compact text stays well inside it.
    qsizetype m_textLimit = qsizetype(256) << 20;
    bool m_pageWithoutDocument = false;
    bool m_sendingNotice = false;
    quint64 m_epoch = 0;
};
