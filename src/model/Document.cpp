#include "model/Document.h"

#include "model/Alerts.h"
#include "model/JsonReader.h"
#include "model/Log.h"
#include "model/MemberOrder.h"
#include "model/Notifications.h"
#include "model/PipelinedParse.h"
#include "model/RelaxedReader.h"
#include "model/Settings.h"
#include "model/TreeBuilder.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSaveFile>
#include <QThread>
#include <QThreadPool>

namespace {

// The reader takes documents of up to 4 GiB.
constexpr qint64 kMaxDocumentBytes = 0xFFFFFFFFLL - 64;
// Room kept after the text: the parser's padding, and the brackets that make JSON Lines one array.
constexpr qint64 kSpareBytes = 128;

Error tooLarge()
{
    return Error(Error::Code::TooLarge, QStringLiteral("The document is larger than 4 GiB."));
}

} // namespace

Result<QByteArray> Document::readDocumentBytes(QIODevice& device)
{
    // Room for the parser's padding is reserved up front, so the text is not copied again to be parsed.
    // Pipes and devices have no size: read them in pieces, and never without end (think of /dev/zero).
    const qint64 size = device.isSequential() ? 0 : device.size();
    if (size > kMaxDocumentBytes) {
        return tooLarge();
    }
    QByteArray bytes;
    bytes.reserve((size > 0 ? size : 1024 * 1024) + kSpareBytes);
    qint64 done = 0;
    while (true) {
        if (done == bytes.size()) {
            if (done >= kMaxDocumentBytes) {
                return tooLarge();
            }
            const qint64 grown = size > 0 && done < size ? size : std::min(kMaxDocumentBytes, done * 2 + 1024 * 1024);
            bytes.reserve(grown + kSpareBytes);
            bytes.resize(grown);
        }
        const qint64 read = device.read(bytes.data() + done, bytes.size() - done);
        if (read < 0)
            return Error(Error::Code::FileRead, device.errorString());
        if (read == 0 && (!device.isSequential() || !device.waitForReadyRead(-1)))
            break;
        done += read;
    }
    bytes.resize(done);
    return bytes;
}

namespace {

Result<QByteArray> readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Error(Error::Code::FileRead, file.errorString());
    return Document::readDocumentBytes(file);
}

} // namespace

Document::~Document() = default;

QString Document::saveFailureTitle()
{
    return QStringLiteral("Something went wrong!");
}

QString Document::saveFailureMessage()
{
    return QStringLiteral("Document contents could not be saved to disk. Please, contact support if the issue "
                          "persists.");
}

Document::Loaded Document::fromUtf8(QByteArray& utf8, Reading reading, Dialect hint)
{
    std::unique_ptr<Document> document(new Document);
    // A .jsonl file is JSON Lines even when it is plain JSON too: its one line is still one value of the array.
    const bool linesOnly = reading == Reading::Relaxed && hint == Dialect::JsonLines;
    Result<void> strict;
    if (!linesOnly) {
        // What the strict reader built before it failed goes before the relaxed reader starts.
        TreeBuilder builder;
        strict = PipelinedParse::parse(utf8, builder);
        if (strict) {
            document->m_report.duplicateKeys = builder.duplicateKeys();
            document->setRoot(builder.finish());
        }
    }
    if (!strict && reading == Reading::Strict)
        return strict.error();
    if (linesOnly || !strict) {
        auto read = RelaxedReader::read(utf8, hint);
        if (!read)
            return read.error();
        document->setRoot(std::move(read->root));
        document->m_report = read->report;
    }
    // The text is no longer needed; free it before the tree is handed on.
    utf8 = QByteArray();
    if (document->m_report.duplicateKeys > 0)
        if (const TreeNode* repeated = MemberOrder::firstRepeatedName(document->m_root.get()))
            document->m_report.firstDuplicatePath = repeated->path();
    return document;
}

Document::Loaded Document::fromBytes(QByteArray bytes, Reading reading, Dialect hint)
{
    auto decoded = JsonReader::decodeDocumentBytes(std::move(bytes));
    if (!decoded)
        return decoded.error();
    return fromUtf8(*decoded, reading, hint);
}

Document::Loaded Document::documentFromBytes(QByteArray bytes, Reading reading, const QString& fileName)
{
    auto document = fromBytes(std::move(bytes), reading, Dialects::fromFileName(fileName));
    if (document) {
        (*document)->m_name = QStringLiteral("Untitled");
        (*document)->setSaved(false);
    }
    return document;
}

Document::Loaded Document::documentFromText(const QString& text, Reading reading)
{
    // Text copied from files often keeps its byte-order mark; it is not part of the JSON.
    QByteArray utf8 = (text.startsWith(QChar(0xFEFF)) ? QStringView(text).sliced(1) : QStringView(text)).toUtf8();
    auto document = fromUtf8(utf8, reading, Dialect::Json);
    if (document) {
        (*document)->m_name = QStringLiteral("Untitled");
        (*document)->setSaved(false);
    }
    return document;
}

Document::Loaded Document::documentFromFile(const QString& path, Reading reading)
{
    auto bytes = readFile(path);
    if (!bytes) {
        Error error = bytes.error();
        error.message = QStringLiteral("The file could not be read: %1").arg(error.message);
        return error;
    }
    const QString fileName = QFileInfo(path).fileName();
    auto loaded = fromBytes(std::move(*bytes), reading, Dialects::fromFileName(fileName));
    if (!loaded)
        return loaded;
    Document* document = loaded->get();
    document->m_url = path;
    document->m_name = fileName.isEmpty() ? std::nullopt : std::optional<QString>(fileName);
    document->setSaved(document->m_report.dialect == Dialect::Json);
    return loaded;
}

namespace {

// Builds a document on a worker thread and hands it to `context`'s thread, unless `context` is gone by then.
void buildAsync(std::function<Document::Loaded()> build, QObject* context, Document::Completion completion)
{
    QPointer<QObject> receiver(context);
    QThread* target = context ? context->thread() : QCoreApplication::instance()->thread();
    QThreadPool::globalInstance()->start(
        [build = std::move(build), receiver, target, completion = std::move(completion)] {
            auto result = std::make_shared<Document::Loaded>(build());
            if (*result)
                (**result)->moveToThread(target);
            // Whether the caller still exists is asked on its own thread, where it is destroyed: asking here and
            // then posting to it would race with its destruction. A relay object carries the result there.
            auto* relay = new QObject;
            relay->moveToThread(target);
            QMetaObject::invokeMethod(
                relay,
                [relay, receiver, result, completion] {
                    relay->deleteLater();
                    if (receiver)
                        completion(std::move(*result));
                },
                Qt::QueuedConnection);
        });
}

} // namespace

void Document::loadDocumentAsync(const QString& path, QObject* context, Completion completion, Reading reading)
{
    buildAsync([path, reading] { return documentFromFile(path, reading); }, context, std::move(completion));
}

void Document::documentFromBytesAsync(QByteArray bytes, QObject* context, Completion completion, Reading reading,
                                      const QString& fileName)
{
    auto shared = std::make_shared<QByteArray>(std::move(bytes));
    buildAsync([shared, reading, fileName] { return documentFromBytes(std::move(*shared), reading, fileName); },
               context, std::move(completion));
}

void Document::documentFromTextAsync(QString text, QObject* context, Completion completion)
{
    buildAsync([text = std::move(text)] { return documentFromText(text); }, context, std::move(completion));
}

void Document::setSaved(bool saved)
{
    m_saved = saved;
    // What is saved is plain JSON, whatever the file held before.
    if (saved)
        m_report.dialect = Dialect::Json;
    emit savedChanged(saved);
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        emit savedStatusChanged();
        return;
    }
    // Posted to the application object, which lives on the main thread; the document may be gone by then.
    QMetaObject::invokeMethod(
        app,
        [document = QPointer<Document>(this)] {
            if (document)
                emit document->savedStatusChanged();
        },
        Qt::QueuedConnection);
}

void Document::setRoot(OwnedTree root)
{
    if (m_root)
        QObject::disconnect(&m_root->notifications(), nullptr, this, nullptr);
    m_root = std::move(root);
    if (!m_root)
        return;
    // Relayed on the editing thread, whichever thread the document belongs to: one made on a worker only to
    // carry its tree (text typed in the page) never moves to the main thread.
    Notifications* notifications = &m_root->notifications();
    connect(notifications, &Notifications::treeDataChanged, this, &Document::treeDataChanged, Qt::DirectConnection);
    connect(notifications, &Notifications::reloadCurrentRow, this, &Document::reloadCurrentRow, Qt::DirectConnection);
}

OwnedTree Document::takeRoot()
{
    if (m_root)
        QObject::disconnect(&m_root->notifications(), nullptr, this, nullptr);
    return std::move(m_root);
}

Document::SaveResult Document::save()
{
    if (m_url.isEmpty()) {
        emit saveAsRequested();
        return SaveResult::NeedsSaveAs;
    }
    auto fail = [](const QString& why) {
        BW_LOG_ERROR("save()", why);
        Alerts::present({saveFailureTitle(), saveFailureMessage(), Alert::Style::Critical});
        return SaveResult::Failed;
    };
    if (!m_root)
        return fail(QStringLiteral("The document has no content."));
    const auto text = m_root->jsonText();
    if (!text)
        return fail(text.error().message);
    QSaveFile file(m_url);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    if (file.write(*text) != text->size()) {
        const QString writeError = file.errorString();
        file.cancelWriting();
        return fail(writeError);
    }
    if (!file.commit())
        return fail(file.errorString());
    setSaved(true);
    Settings::instance().addRecentDocument(QFileInfo(m_url).absoluteFilePath());
    return SaveResult::Saved;
}
