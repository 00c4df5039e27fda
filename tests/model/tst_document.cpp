#include "TestSupport.h"
#include "model/Alerts.h"
#include "model/Notifications.h"
#include "model/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSemaphore>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QThreadPool>
#include <thread>

Q_DECLARE_METATYPE(std::optional<Error::Code>)

namespace {

// Counts a document's savedStatusChanged posts and those that arrived off the main thread (connected directly).
struct SavedStatusRecorder
{
    explicit SavedStatusRecorder(Document* document)
    {
        QThread* mainThread = QCoreApplication::instance()->thread();
        connection = QObject::connect(
            document, &Document::savedStatusChanged, document,
            [this, mainThread] {
                ++count;
                offMainThread += QThread::currentThread() != mainThread;
            },
            Qt::DirectConnection);
    }
    ~SavedStatusRecorder() { QObject::disconnect(connection); }
    std::atomic<int> count{0};
    std::atomic<int> offMainThread{0};
    QMetaObject::Connection connection;
};

} // namespace

class TestDocument : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_settingsDir.isValid());
        Settings::useFile(m_settingsDir.filePath(QStringLiteral("settings.ini")));
    }
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_presenter.alerts.clear();
        Alerts::setPresenter(&m_presenter);
    }
    void cleanup()
    {
        Alerts::setPresenter(nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Text makes an unsaved "Untitled" document; a file a saved one named after it, whatever the extension, its
    // encoding detected from the byte-order mark (UTF-8 without one). Only an array or an object at the top level
    // is a document: anything else, or a file that cannot be read, gives none and a reason.
    void load_data()
    {
        QTest::addColumn<QString>("file");                       // empty: from text
        QTest::addColumn<QByteArray>("bytes");                   // null: no file written
        QTest::addColumn<std::optional<Error::Code>>("failure"); // nothing: the document is read
        using Code = Error::Code;
        const std::optional<Code> read;
        const QString text = QStringLiteral("{\"k\":\"caf\u00E9 \u20AC \U0001F600\"}");
        QTest::newRow("text") << QString() << text.toUtf8() << read;
        QTest::newRow("text 42") << QString() << QByteArray("42") << std::optional(Code::NotContainer);
        // Text is read strictly: comments are for the relaxed reader, which asks first.
        QTest::newRow("text with a comment") << QString() << QByteArray("[1] // x") << std::optional(Code::Syntax);
        QTest::newRow("utf-8") << "notes.txt" << text.toUtf8() << read;
        QTest::newRow("utf-8 bom") << "a.json" << encoded(text, QStringConverter::Utf8) << read;
        QTest::newRow("utf-16le") << "a.json" << encoded(text, QStringConverter::Utf16LE) << read;
        QTest::newRow("utf-16be") << "a.json" << encoded(text, QStringConverter::Utf16BE) << read;
        QTest::newRow("utf-32le") << "a.json" << encoded(text, QStringConverter::Utf32LE) << read;
        QTest::newRow("utf-32be") << "a.json" << encoded(text, QStringConverter::Utf32BE) << read;
        QTest::newRow("missing") << "missing.json" << QByteArray() << std::optional(Code::FileRead);
        QTest::newRow("directory") << "." << QByteArray() << std::optional(Code::FileRead);
        QTest::newRow("empty") << "a.json" << QByteArray("") << std::optional(Code::EmptyText);
        QTest::newRow("scalar") << "a.json" << QByteArray("42") << std::optional(Code::NotContainer);
    }
    void load()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(std::optional<Error::Code>, failure);
        const QString path = m_dir.filePath(file);
        if (!file.isEmpty() && !bytes.isNull())
            QVERIFY(writeFile(path, bytes));
        auto read =
            file.isEmpty() ? Document::documentFromText(QString::fromUtf8(bytes)) : Document::documentFromFile(path);
        QCOMPARE(bool(read), !failure);
        if (failure) {
            QCOMPARE(read.error().code, *failure);
            QVERIFY(!read.error().message.isEmpty());
            return;
        }
        const std::unique_ptr<Document> document = std::move(*read);
        QCOMPARE(document->name(), std::optional<QString>(file.isEmpty() ? QStringLiteral("Untitled") : file));
        QCOMPARE(document->saved(), !file.isEmpty());
        QCOMPARE(document->url(), file.isEmpty() ? QString() : path);
        TreeNode* root = document->root();
        QCOMPARE(root->name(), QStringLiteral("root"));
        QVERIFY(!root->parent());
        QCOMPARE(root->kind(), qint64(NodeKind::Object));
        QCOMPARE(root->childCount(), 1);
        QCOMPARE(root->child(0)->parent(), root);
        QCOMPARE(root->child(0)->name(), QStringLiteral("k"));
        QCOMPARE(root->child(0)->value(), QVariant(QStringLiteral("caf\u00E9 \u20AC \U0001F600")));
    }

    // Every assignment of the saved flag is announced, even unchanged, and on the main thread from any thread.
    void savedNotifications()
    {
        auto document = Document::documentFromText(QStringLiteral("{}")).value();
        SavedStatusRecorder recorder(document.get());
        document->setSaved(false);
        document->setSaved(false);
        QCOMPARE(recorder.count.load(), 2);
        Document* target = document.get();
        std::thread([target] {
            target->setSaved(true);
            target->setSaved(true);
        }).join();
        QVERIFY(document->saved());
        QTRY_COMPARE(recorder.count.load(), 4);
        QCOMPARE(recorder.offMainThread.load(), 0);
    }

    // Reading on a worker hands the finished document, or the reason for none, to the caller's thread.
    void loadAsync()
    {
        QThread* mainThread = QThread::currentThread();
        for (const QByteArray& content : {QByteArray("[null]"), QByteArray("{\"a\" 1}")}) {
            const QString path = m_dir.filePath(QStringLiteral("async.json"));
            QVERIFY(writeFile(path, content));
            QObject context;
            bool called = false, onMainThread = false;
            std::optional<Document::Loaded> read;
            Document::loadDocumentAsync(path, &context, [&](Document::Loaded loaded) {
                called = true;
                onMainThread = QThread::currentThread() == mainThread;
                read = std::move(loaded);
            });
            QTRY_VERIFY(called);
            QVERIFY(onMainThread);
            if (content.contains("null")) {
                QVERIFY(*read);
                const Document& document = ***read;
                QCOMPARE(document.thread(), mainThread);
                QCOMPARE(document.root()->notifications().thread(), mainThread);
                QVERIFY(document.saved());
                QCOMPARE(document.name(), std::optional<QString>(QStringLiteral("async.json")));
            } else {
                QVERIFY(!*read);
                QCOMPARE(read->error().code, Error::Code::Syntax);
            }
        }
    }

    // A caller that went away before the file was read never hears of it.
    void loadAsyncContextGone()
    {
        const QString path = m_dir.filePath(QStringLiteral("gone.json"));
        QVERIFY(writeFile(path, "[1]"));
        QThreadPool* pool = QThreadPool::globalInstance();
        const int threads = pool->maxThreadCount();
        pool->setMaxThreadCount(1);
        // Hold the only worker so the read cannot start before the context is destroyed.
        QSemaphore release;
        pool->start([&release] { release.acquire(); });
        bool called = false;
        auto context = std::make_unique<QObject>();
        Document::loadDocumentAsync(path, context.get(), [&called](auto) { called = true; });
        context.reset();
        release.release();
        pool->waitForDone();
        pool->setMaxThreadCount(threads);
        QCoreApplication::sendPostedEvents();
        QVERIFY(!called);
    }

    // Saving replaces the file with compact, key-sorted JSON, marks the document saved and lists it once
    // among the recent documents.
    void save()
    {
        const QString path = m_dir.filePath(QStringLiteral("save.json"));
        QVERIFY(writeFile(path,
                          "{\n  \"b\": [1, 2.5, 1e3],\n  \"a\": \"x/y\",\n  \"A\": {\"z\": null, \"c\": false}\n}\n"));
        auto document = Document::documentFromFile(path).value();
        document->setSaved(false);
        QFile before(path);
        QVERIFY(before.open(QIODevice::ReadOnly));
        const QByteArray original = readFile(path);
        SavedStatusRecorder recorder(document.get());
        QCOMPARE(document->save(), Document::SaveResult::Saved);
        QCOMPARE(readFile(path), QByteArray(R"({"A":{"c":false,"z":null},"a":"x\/y","b":[1,2.5,1000]})"));
        // A new file replaced the old one: a reader of the old file still sees all of it.
        QCOMPARE(before.readAll(), original);
        QVERIFY(document->saved());
        QCOMPARE(recorder.count.load(), 1);
        QVERIFY(m_presenter.alerts.empty());
        const QString absolute = QFileInfo(path).absoluteFilePath();
        QCOMPARE(Settings::instance().recentDocuments().value(0), absolute);
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("save*")}, QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("save.json")});
        // An edit reaches the file on the next save.
        document->root()->child(1)->setValueLabel(QStringLiteral("x\"y"));
        QCOMPARE(document->save(), Document::SaveResult::Saved);
        QCOMPARE(readFile(path), QByteArray("{\"A\":{\"c\":false,\"z\":null},\"a\":\"x\\\"y\",\"b\":[1,2.5,1000]}"));
        QCOMPARE(Settings::instance().recentDocuments().count(absolute), 1);
    }

    // Without a file, save asks for Save As. A failed save shows one alert with the exact texts. Either way the
    // old file, the saved flag and the recent documents stay as they were, and nothing is left on disk.
    void saveRefused_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<bool>("savedBefore");
        QTest::newRow("no file") << "" << false;
        QTest::newRow("string root") << "string root" << true;
        QTest::newRow("no root") << "no root" << false;
        QTest::newRow("target is a directory") << "occupied" << true;
        QTest::newRow("missing folder") << "absent/out.json" << false;
    }
    void saveRefused()
    {
        QFETCH(QString, failure);
        QFETCH(bool, savedBefore);
        const QByteArray original("{ \"keep\" : [1, 2] }");
        const QString path = m_dir.filePath(QStringLiteral("keep.json"));
        QVERIFY(writeFile(path, original));
        auto document = Document::documentFromFile(path).value();
        if (failure == QLatin1String("string root"))
            document->root()->setKindLabel(QStringLiteral("String"));
        else if (failure == QLatin1String("no root"))
            document->takeRoot();
        else if (!failure.contains(QLatin1Char(' ')))
            document->setUrl(failure.isEmpty() ? QString() : m_dir.filePath(failure));
        if (failure == QLatin1String("occupied"))
            QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("occupied/inside")));
        document->setSaved(savedBefore);
        const QStringList recentBefore = Settings::instance().recentDocuments();
        QSignalSpy saveAs(document.get(), &Document::saveAsRequested);
        SavedStatusRecorder recorder(document.get());

        const bool noFile = failure.isEmpty();
        QCOMPARE(document->save(), noFile ? Document::SaveResult::NeedsSaveAs : Document::SaveResult::Failed);
        QCOMPARE(saveAs.count(), int(noFile));
        QCOMPARE(m_presenter.alerts.size(), std::size_t(!noFile));
        if (!noFile) {
            QCOMPARE(m_presenter.alerts.front().title, QStringLiteral("Something went wrong!"));
            QCOMPARE(m_presenter.alerts.front().message, QStringLiteral("Document contents could not be saved to "
                                                                        "disk. Please, contact support if the "
                                                                        "issue persists."));
            QCOMPARE(m_presenter.alerts.front().style, Alert::Style::Critical);
        }
        QCOMPARE(document->saved(), savedBefore);
        QCOMPARE(recorder.count.load(), 0);
        QCOMPARE(Settings::instance().recentDocuments(), recentBefore);
        QCOMPARE(readFile(path), original);
        if (failure == QLatin1String("occupied"))
            QCOMPARE(QDir(m_dir.filePath(failure)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                     QStringList{QStringLiteral("inside")});
        QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("absent"))));
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("keep")),
                 QStringList{QStringLiteral("keep.json")});
    }

private:
    QTemporaryDir m_settingsDir;
    QTemporaryDir m_dir;
    AlertRecorder m_presenter;
};

QTEST_GUILESS_MAIN(TestDocument)
#include "tst_document.moc"
