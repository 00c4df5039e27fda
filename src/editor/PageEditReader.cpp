#include "editor/PageEditReader.h"

#include "editor/ContentPusher.h"
#include "editor/EditorPage.h"
#include "editor/PrettyTextJob.h"
#include "model/Document.h"
#include "model/Log.h"

#include <QFutureWatcher>
#include <QJsonValue>
#include <QtConcurrent/QtConcurrentRun>

namespace {

// Texts at least this long are read on a worker thread.
constexpr qsizetype kBackgroundParseLength = qsizetype(1) << 22;

const char* const kWhere = "contentChanged(_:)";

} // namespace

struct PageEditReader::Outcome
{
    quint64 token = 0;
    std::optional<qint64> version;
    // The text; with an edit, the text it was made in (in parts of whole lines, while it is written), until the
    // edit is applied.
    QByteArray text;
    std::vector<QByteArray> parts;
    // The edit, when the text is its base: lines [from, from + removed) replaced by `added` lines.
    struct Edit
    {
        std::shared_ptr<const PageLines::Hashes> baseLines;
        qsizetype from, removed, added;
        QByteArray inserted;
    };
    std::optional<Edit> edit;
    // Set by the reading.
    bool needWholeText = false;
    std::shared_ptr<const PageLines::Hashes> lines;
    std::optional<Document::Loaded> read;

    void run()
    {
        if (edit) {
            for (const QByteArray& part : parts) {
                if (&part != &parts.front())
                    text.append('\n');
                text.append(part);
            }
            parts.clear();
            std::optional<QByteArray> edited =
                PageLines::splice(text, edit->from, edit->removed, edit->inserted, edit->added);
            if (!edited) {
                needWholeText = true;
                return;
            }
            text = std::move(*edited);
        }
        if (version)
            lines = std::make_shared<PageLines::Hashes>(PageLines::hash(text));
        read = Document::documentFromBytes(std::move(text));
    }
};

PageEditReader::PageEditReader(ContentPusher& pusher, TreeSource source, Read read, QObject* parent)
    : QObject(parent), m_pusher(pusher), m_source(std::move(source)), m_read(std::move(read))
{}

bool PageEditReader::receive(const QString& cmd, const QJsonObject& message)
{
    const QJsonValue content = message.value(QLatin1String("content"));
    if (cmd == QLatin1String("contentPart")) {
        // A long text arrives in parts; the message that follows completes it.
        if (content.isString())
            m_parts << content.toString();
        return true;
    }
    const bool lines = cmd == QLatin1String("linesChanged");
    if (!lines && cmd != QLatin1String("contentChanged"))
        return false;
    const QStringList parts = std::exchange(m_parts, {});
    if (content.isUndefined())
        return true;
    const QJsonValue partCount = message.value(QLatin1String("partCount"));
    QString text;
    if (partCount.isDouble()) {
        if (!content.isString() || partCount.toDouble() != double(parts.size())) {
            BW_LOG_ERROR("userContentController(_:didReceive:)",
                         QStringLiteral("Incomplete text received from webview: %1 of %2 parts")
                             .arg(parts.size())
                             .arg(partCount.toDouble()));
            return true;
        }
        BW_LOG_TRACE(kWhere, QString());
        text = parts.join(QString()) + content.toString();
    } else {
        BW_LOG_TRACE(kWhere, QString());
        if (!content.isString())
            return true;
        text = content.toString();
    }
    if (!m_pusher.pageHoldsDocument()) {
        // The page shows a notice instead of the document, or may still show an older text after a push that
        // failed: nothing from it may replace the document.
        BW_LOG_WARNING(kWhere, QStringLiteral("The code editor does not hold the document; its text is ignored."));
        return true;
    }
    const QJsonValue version = message.value(QLatin1String("version"));
    const std::optional<qint64> pageVersion = version.isDouble() ? std::optional(version.toInteger()) : std::nullopt;
    if (!lines) {
        readWhole(text.toUtf8(), pageVersion);
        return true;
    }
    const auto count = [&message](const char* key) { return message.value(QLatin1String(key)).toInteger(-1); };
    const QJsonValue base = message.value(QLatin1String("base"));
    if (!base.isDouble() || !pageVersion || count("from") < 0 || count("removed") < 0 || count("added") < 0) {
        BW_LOG_ERROR("userContentController(_:didReceive:)", QStringLiteral("Malformed message received from webview"));
        return true;
    }
    readLines(base.toInteger(), pageVersion, count("from"), count("removed"), count("added"), text.toUtf8());
    return true;
}

void PageEditReader::readLines(qint64 base, std::optional<qint64> version, qsizetype from, qsizetype removed,
                               qsizetype added, QByteArray inserted)
{
    if (!m_pusher.isIdle()) {
        // The window's own change is on its way to the page and replaces what was typed there.
        BW_LOG_TRACE(kWhere, QStringLiteral("A change from the window is on its way to the code editor; the edit "
                                            "made there is dropped."));
        return;
    }
    const ContentPusher::PageState shown = m_pusher.pageState();
    const TreeNode* root = m_source();
    if (shown.version != base || !shown.lines || !root)
        return askForWholeText();
    auto outcome = std::make_shared<Outcome>();
    outcome->token = ++m_token;
    outcome->version = version;
    outcome->edit = Outcome::Edit{shown.lines, from, removed, added, std::move(inserted)};
    const quint64 token = m_token;
    PrettyTextJob::start(
        root, {}, this, [this, token] { return token == m_token; },
        [outcome](QByteArray lines) { outcome->parts.push_back(std::move(lines)); },
        [this, outcome](PrettyTextJob::Outcome result, qsizetype size, std::vector<quint64> lines) {
            if (result == PrettyTextJob::Outcome::Abandoned)
                return;
            // The tree's text must be what the page showed, line for line; else the edit is not the page's text.
            if (result != PrettyTextJob::Outcome::Written || lines != *outcome->edit->baseLines)
                return askForWholeText();
            finish(outcome, size >= kBackgroundParseLength);
        });
}

void PageEditReader::readWhole(QByteArray text, std::optional<qint64> version)
{
    auto outcome = std::make_shared<Outcome>();
    outcome->token = ++m_token;
    outcome->version = version;
    outcome->text = std::move(text);
    finish(outcome, outcome->text.size() >= kBackgroundParseLength);
}

void PageEditReader::finish(std::shared_ptr<Outcome> outcome, bool inBackground)
{
    const auto handOver = [this, outcome] {
        // A change made in the window meanwhile (in the outline, or another document) wins over this text.
        if (outcome->token != m_token)
            return;
        if (outcome->needWholeText)
            return askForWholeText();
        m_read(std::move(*outcome->read));
        // Read or refused, the text is what the page now shows.
        m_pusher.pageEdited(outcome->version.value_or(0), outcome->lines);
    };
    if (!inBackground) {
        outcome->run();
        return handOver();
    }
    auto* watcher = new QFutureWatcher<void>(this);
    connect(watcher, &QFutureWatcher<void>::finished, this, [watcher, handOver] {
        watcher->deleteLater();
        handOver();
    });
    watcher->setFuture(QtConcurrent::run([outcome] { outcome->run(); }));
}

void PageEditReader::askForWholeText()
{
    if (EditorPage* page = m_pusher.page())
        page->runJavaScript(QStringLiteral("sendWholeText()"), {});
}
