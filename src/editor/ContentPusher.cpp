#include "editor/ContentPusher.h"

#include "editor/EditorPage.h"
#include "editor/PrettyTextJob.h"
#include "editor/ScriptLiteral.h"

#include <QFutureWatcher>
#include <QLocale>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <utility>

// One text on its way to the page. Its parts are hashed on worker threads as they are written. A whole push
// hands each part to the page at once; a change keeps them until every line can be compared with what the page
// shows.
struct ContentPusher::Push
{
    bool whole = false;
    quint64 epoch = 0;
    qint64 version = 0;
    std::vector<QByteArray> parts;
    std::shared_ptr<const PageLines::Hashes> lines;
    // Set by the comparison: the whole text, and the run of lines that differs.
    QByteArray text;
    PageLines::Change change;
    // Parts handed to the page, and whether it failed to take one.
    int staged = 0;
    bool stageFailed = false;
};

ContentPusher::ContentPusher(TreeSource source, QObject* parent)
    : QObject(parent)
    , m_source(std::move(source))
{
}

void ContentPusher::setPage(EditorPage* page)
{
    m_page = page;
}

void ContentPusher::request()
{
    m_wanted = true;
    m_behind = true;
    schedule();
}

void ContentPusher::requestIfBehind()
{
    if (m_behind)
        request();
}

void ContentPusher::pageEdited(qint64 version, std::shared_ptr<const PageLines::Hashes> lines)
{
    m_state = {version, std::move(lines)};
    if (!m_wanted && !m_scheduled && !m_preparing && !m_inFlight)
        m_behind = false;
}

void ContentPusher::schedule()
{
    if (m_scheduled || m_preparing || m_inFlight || m_loading)
        return;
    m_scheduled = true;
    QTimer::singleShot(0, this, &ContentPusher::pushNow);
}

void ContentPusher::pushNow()
{
    m_scheduled = false;
    if (!m_wanted)
        return;
    m_wanted = false;
    const TreeNode* root = m_page ? m_source() : nullptr;
    // A tree found too large stays so: writing it again only to find that out would cost seconds each edit.
    if (!root || m_tooLarge)
        return;
    auto push = std::make_shared<Push>();
    push->epoch = m_epoch;
    push->whole = m_treeReplaced || !m_state.lines;
    push->version = ++m_lastVersion;
    m_treeReplaced = false;
    m_preparing = true;
    if (push->whole) {
        m_inFlight = true;
        m_page->dropOfferedTexts();
    }
    // A request that comes while the text is written means the tree changed: the text is given up and
    // written again.
    PrettyTextJob::start(
        root, {m_textLimit, m_partLength}, this, [this, push] { return !m_wanted && push->epoch == m_epoch; },
        [this, push](QByteArray lines) { partWritten(push, std::move(lines)); },
        [this, push](PrettyTextJob::Outcome outcome, qsizetype, std::vector<quint64> lines) {
            m_preparing = false;
            switch (outcome) {
            case PrettyTextJob::Outcome::Written:
                push->lines = std::make_shared<const PageLines::Hashes>(std::move(lines));
                return written(push);
            case PrettyTextJob::Outcome::TooLarge:
                m_inFlight = false;
                m_treeReplaced = true;
                m_tooLarge = true;
                return showNotice(tr("This document is too large for the code editor (more than %1 of text). The "
                                     "outline, search, jq and exports work as usual.")
                                      .arg(QLocale().formattedDataSize(m_textLimit, 1, QLocale::DataSizeSIFormat)));
            case PrettyTextJob::Outcome::Failed:
            case PrettyTextJob::Outcome::Abandoned:
                if (push->whole && push->epoch == m_epoch) {
                    // The page may hold some of the parts; the next push starts afresh.
                    m_inFlight = false;
                    m_treeReplaced = true;
                }
                if (m_wanted)
                    schedule();
                return;
            }
        });
}

void ContentPusher::partWritten(const std::shared_ptr<Push>& push, QByteArray lines)
{
    if (push->whole)
        stage(push, std::move(lines));
    else
        push->parts.push_back(std::move(lines));
}

void ContentPusher::stage(const std::shared_ptr<Push>& push, QByteArray lines)
{
    if (!m_page)
        return;
    // Parts of whole lines of about the part length; a line longer than that makes a part of its own. The
    // writer's parts are a little over the part length already and go as they are.
    QByteArrayView rest(lines);
    for (;;) {
        qsizetype cut = rest.size();
        if (rest.size() > 2 * m_partLength) {
            const qsizetype before = rest.first(m_partLength).lastIndexOf('\n');
            cut = before > 0 ? before : rest.indexOf('\n', m_partLength);
            if (cut < 0)
                cut = rest.size();
        }
        const bool first = push->staged++ == 0;
        QByteArray part = cut == lines.size() ? lines : rest.first(cut).toByteArray();
        QPointer<ContentPusher> self(this);
        m_page->runJavaScript(QStringLiteral("stagePushedLines('%1', %2)")
                                  .arg(m_page->offerText(std::move(part)), first ? QStringLiteral("true") : QStringLiteral("false")),
                              [self, push](const QVariant& result) {
                                  if (self && (result.typeId() != QMetaType::Bool || !result.toBool()))
                                      push->stageFailed = true;
                              });
        if (cut == rest.size())
            return;
        rest = rest.sliced(cut + 1);
    }
}

void ContentPusher::written(const std::shared_ptr<Push>& push)
{
    if (push->whole)
        return show(push, true, {0, -1, qsizetype(push->lines->size())});
    // The run of lines that differs from what the page shows, found on a worker: a large document has millions
    // of lines.
    m_preparing = true;
    auto* watcher = new QFutureWatcher<void>(this);
    connect(watcher, &QFutureWatcher<void>::finished, this, [this, watcher, push] {
        watcher->deleteLater();
        if (push->epoch != m_epoch)
            return;
        m_preparing = false;
        if (m_wanted)
            return schedule(); // the tree changed again: what was compared is out of date
        sendChange(push);
    });
    watcher->setFuture(QtConcurrent::run([push, shown = m_state.lines] {
        push->change = shown ? PageLines::diff(*shown, *push->lines) : PageLines::Change{0, 0, 0};
        // Only the changed lines are needed, but they may lie anywhere in the parts.
        qsizetype size = 0;
        for (const QByteArray& part : push->parts)
            size += part.size() + 1;
        push->text.reserve(size);
        for (const QByteArray& part : push->parts) {
            if (&part != &push->parts.front())
                push->text.append('\n');
            push->text.append(part);
        }
        push->parts.clear();
    }));
}

void ContentPusher::sendChange(const std::shared_ptr<Push>& push)
{
    if (!m_page)
        return;
    m_inFlight = true;
    m_page->dropOfferedTexts();
    const PageLines::Change change = push->change;
    if (change.added > 0) {
        const QByteArrayView lines = PageLines::lines(push->text, change.from, change.added);
        stage(push, lines.size() == push->text.size() ? push->text : lines.toByteArray());
    }
    show(push, push->whole, change);
}

void ContentPusher::sendWhole(const std::shared_ptr<Push>& push)
{
    // The page was typed in since the lines were compared: it takes the whole text, which the push still holds.
    push->whole = true;
    push->staged = 0;
    push->stageFailed = false;
    push->change = {0, 0, qsizetype(push->lines->size())};
    sendChange(push);
}

void ContentPusher::show(const std::shared_ptr<Push>& push, bool whole, PageLines::Change change)
{
    if (!m_page)
        return finished(false);
    m_inFlight = true;
    const QString script = QStringLiteral("showPushedLines(%1, %2, %3, %4, %5)")
                               .arg(whole ? QStringLiteral("null") : QString::number(m_state.version))
                               .arg(push->version)
                               .arg(change.from)
                               .arg(change.removed)
                               .arg(change.added);
    // The page takes the call at once and says with "pushShown" when the lines are shown (pageShowed()).
    m_showing = {push, whole};
    QPointer<ContentPusher> self(this);
    m_page->runJavaScript(script, [self, push, whole](const QVariant& accepted) {
        if (self && (accepted.typeId() != QMetaType::Bool || !accepted.toBool()) && self->m_showing.push == push) {
            self->m_showing = {};
            self->answered(push, whole, QVariant());
        }
    });
}

void ContentPusher::pageShowed(qint64 version, const QVariant& result)
{
    if (!m_showing.push || m_showing.push->version != version)
        return;
    const Showing showing = std::exchange(m_showing, {});
    answered(showing.push, showing.whole, result);
}

void ContentPusher::answered(const std::shared_ptr<Push>& push, bool whole, const QVariant& result)
{
    if (push->epoch != m_epoch)
        return;
    const bool isBool = result.typeId() == QMetaType::Bool;
    if (isBool && result.toBool() && !push->stageFailed) {
        m_state = {push->version, push->lines};
        return finished(true);
    }
    if (isBool && !result.toBool() && !whole && m_page)
        return sendWhole(push);
    finished(false);
}

void ContentPusher::showNotice(const QString& notice)
{
    // The page drops what it showed, so no edit can be made from an older text.
    m_pageWithoutDocument = true;
    m_sendingNotice = true;
    m_inFlight = true;
    m_state = {};
    const quint64 epoch = m_epoch;
    QPointer<ContentPusher> self(this);
    m_page->runJavaScript(QStringLiteral("showNotice('") + ScriptLiteral::scriptStringLiteral(notice) + QStringLiteral("')"),
                          [self, epoch](const QVariant& result) {
                              if (self && epoch == self->m_epoch)
                                  self->finished(result.typeId() == QMetaType::Bool && result.toBool());
                          });
}

void ContentPusher::finished(bool reached)
{
    m_inFlight = false;
    const bool notice = std::exchange(m_sendingNotice, false);
    m_pageWithoutDocument = notice || !reached;
    if (!reached) {
        m_state = {};
        m_treeReplaced = true;
    }
    if (reached && !m_wanted)
        m_behind = false;
    emit pushed();
    if (!reached && !notice && m_page && !m_wanted) {
        // A push cut short may leave the page showing an older text, which an edit there would bring back.
        showNotice(tr("The code editor could not show this document. The outline, search, jq and exports work "
                      "as usual."));
        return;
    }
    if (m_wanted)
        schedule();
}

void ContentPusher::pageLoading()
{
    m_loading = true;
}

void ContentPusher::pageReloaded()
{
    m_loading = false;
    m_showing = {};
    ++m_epoch;
    m_inFlight = false;
    m_preparing = false;
    m_sendingNotice = false;
    m_pageWithoutDocument = false;
    m_state = {};
    m_treeReplaced = true;
    m_behind = true;
    if (m_page)
        m_page->dropOfferedTexts();
    if (m_wanted)
        schedule();
}
