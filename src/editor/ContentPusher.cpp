#include "editor/ContentPusher.h"

#include "editor/EditorPage.h"
#include "editor/ScriptLiteral.h"

#include <QFutureWatcher>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

namespace {

// Below this size the script is cheaper to build in place than to hand to a worker.
constexpr qsizetype kWorkerThreshold = 1 << 20;

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
    if (m_scheduled || m_preparing || m_inFlight)
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
    if (text->size() < kWorkerThreshold) {
        send(ScriptLiteral::updateContentScript(QString::fromUtf8(*text)));
        return;
    }
    m_preparing = true;
    auto* watcher = new QFutureWatcher<QString>(this);
    connect(watcher, &QFutureWatcher<QString>::finished, this, [this, watcher] {
        m_preparing = false;
        const QString script = watcher->result();
        watcher->deleteLater();
        send(script);
    });
    watcher->setFuture(QtConcurrent::run(
        [bytes = std::move(*text)] { return ScriptLiteral::updateContentScript(QString::fromUtf8(bytes)); }));
}

void ContentPusher::send(const QString& script)
{
    if (!m_page) {
        finished(m_epoch, false);
        return;
    }
    m_inFlight = true;
    const quint64 epoch = m_epoch;
    QPointer<ContentPusher> self(this);
    // A push that fails is not retried and nothing is reported; the page answers true once it shows the text.
    m_page->runJavaScript(script, [self, epoch](const QVariant& result) {
        if (self)
            self->finished(epoch, result.typeId() == QMetaType::Bool && result.toBool());
    });
}

void ContentPusher::finished(quint64 epoch, bool reached)
{
    if (epoch != m_epoch)
        return;
    m_inFlight = false;
    if (reached && !m_wanted)
        m_behind = false;
    emit pushed();
    if (m_wanted)
        schedule();
}

void ContentPusher::pageReloaded()
{
    ++m_epoch;
    m_inFlight = false;
    m_behind = true;
    if (m_wanted)
        schedule();
}
