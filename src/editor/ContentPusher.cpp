#include "editor/ContentPusher.h"

#include "editor/EditorPage.h"
#include "editor/ScriptLiteral.h"

#include <QFutureWatcher>
#include <QLocale>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <utility>

namespace {

// Below this size the script is cheaper to build in place than to hand to a worker.
constexpr qsizetype kWorkerThreshold = 1 << 20;

// The scripts of one push: the text's parts to stage in the page (none for a text sent whole), then the
// updateContent call.
QStringList pushScripts(const QByteArray& utf8, qsizetype partLength)
{
    const QString text = QString::fromUtf8(utf8);
    if (text.size() <= partLength)
        return {ScriptLiteral::updateContentScript(text)};
    QStringList scripts;
    for (qsizetype start = 0; start < text.size();) {
        qsizetype length = std::min(partLength, text.size() - start);
        // A surrogate pair stays in one part: each part is a string of its own on the way.
        if (start + length < text.size() && text.at(start + length - 1).isHighSurrogate())
            --length;
        // The first part starts afresh, dropping what a push cut short may have left.
        scripts << QStringLiteral("stagePushedText('") +
                       ScriptLiteral::scriptStringLiteral(QStringView(text).sliced(start, length)) +
                       (start == 0 ? QStringLiteral("', true)") : QStringLiteral("', false)"));
        start += length;
    }
    scripts << QStringLiteral("updateContent(takePushedText(), true)");
    return scripts;
}

} // namespace

ContentPusher::ContentPusher(TextSource source, QObject* parent)
    : QObject(parent)
    , m_source(std::move(source))
{
}

void ContentPusher::setPage(EditorPage* page)
{
    m_page = page;
}

void ContentPusher::setPartLength(qsizetype length)
{
    m_partLength = std::max<qsizetype>(length, 2);
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

void ContentPusher::pageHasLatest()
{
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
    std::optional<QByteArray> text = m_page ? m_source() : std::nullopt;
    if (!text)
        return;
    if (text->size() > m_textLimit) {
        showNotice(tr("This document is too large for the code editor (%1). The outline, search, jq and exports "
                      "work as usual.")
                       .arg(QLocale().formattedDataSize(text->size(), 1, QLocale::DataSizeSIFormat)));
        return;
    }
    if (text->size() < kWorkerThreshold) {
        send(pushScripts(*text, m_partLength));
        return;
    }
    m_preparing = true;
    auto* watcher = new QFutureWatcher<QStringList>(this);
    connect(watcher, &QFutureWatcher<QStringList>::finished, this, [this, watcher] {
        m_preparing = false;
        const QStringList scripts = watcher->result();
        watcher->deleteLater();
        send(scripts);
    });
    watcher->setFuture(QtConcurrent::run(
        [bytes = std::move(*text), partLength = m_partLength] { return pushScripts(bytes, partLength); }));
}

void ContentPusher::send(QStringList scripts)
{
    m_inFlight = true;
    sendNext(std::make_shared<QStringList>(std::move(scripts)), m_epoch);
}

void ContentPusher::sendNext(std::shared_ptr<QStringList> scripts, quint64 epoch)
{
    if (!m_page || epoch != m_epoch) {
        finished(epoch, false);
        return;
    }
    const QString script = scripts->takeFirst();
    const bool last = scripts->isEmpty();
    QPointer<ContentPusher> self(this);
    // One script at a time, so the window runs between the parts of a long text. A push that fails is not
    // retried and nothing is reported; the page answers true once it holds each part and shows the text.
    m_page->runJavaScript(script, [self, scripts, epoch, last](const QVariant& result) {
        if (!self)
            return;
        const bool reached = result.typeId() == QMetaType::Bool && result.toBool();
        if (last || !reached)
            self->finished(epoch, reached && last);
        else
            self->sendNext(scripts, epoch);
    });
}

void ContentPusher::showNotice(const QString& notice)
{
    // The page drops what it showed, so no edit can be made from an older text.
    m_pageWithoutDocument = true;
    m_sendingNotice = true;
    send({QStringLiteral("showNotice('") + ScriptLiteral::scriptStringLiteral(notice) + QStringLiteral("')")});
}

void ContentPusher::finished(quint64 epoch, bool reached)
{
    if (epoch != m_epoch)
        return;
    m_inFlight = false;
    const bool notice = std::exchange(m_sendingNotice, false);
    m_pageWithoutDocument = notice || !reached;
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
    ++m_epoch;
    m_inFlight = false;
    m_sendingNotice = false;
    m_pageWithoutDocument = false;
    m_behind = true;
    if (m_wanted)
        schedule();
}
