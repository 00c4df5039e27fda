#include "TestSupport.h"
#include "model/Alerts.h"
#include "model/Document.h"
#include "model/Notifications.h"
#include "model/Settings.h"
#include "model/TreeNode.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSemaphore>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QThreadPool>
#include <thread>

namespace {

class RecordingPresenter : public AlertPresenter
{
public:
    void present(const Alert& alert) override { alerts.push_back(alert); }
    std::vector<Alert> alerts;
};

// Counts "SavedStatusChanged" posts and whether each arrived on the main thread. Connected directly, so the
// slot runs on whichever thread emits the signal.
struct SavedStatusRecorder
{
    SavedStatusRecorder()
    {
        QThread* mainThread = QCoreApplication::instance()->thread();
        connection = QObject::connect(
            Notifications::instance(), &Notifications::savedStatusChanged, Notifications::instance(),
            [this, mainThread] {
                ++count;
                if (QThread::currentThread() != mainThread)
                    ++offMainThread;
            },
            Qt::DirectConnection);
    }
    ~SavedStatusRecorder() { QObject::disconnect(connection); }
    std::atomic<int> count{0};
    std::atomic<int> offMainThread{0};
    QMetaObject::Connection connection;
};

struct LoadResult
{
    bool called = false;
    bool onMainThread = false;
    std::unique_ptr<Document> document;
    std::optional<ParseError> error;
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

    // A document made from text is an unsaved, untitled tree under a root named "root".
    void fromText()
    {
        const auto document = Document::documentFromText(QStringLiteral("[1,2]"));
        QVERIFY(document);
        QCOMPARE(document->name(), std::optional<QString>(QStringLiteral("Untitled")));
        QVERIFY(!document->saved());
        QVERIFY(document->url().isEmpty());
        TreeNode* root = document->root();
        QVERIFY(root);
        QCOMPARE(root->name(), QStringLiteral("root"));
        QVERIFY(!root->parent());
        QCOMPARE(root->kind(), qint64(NodeKind::Array));
        QCOMPARE(root->childCount(), 2);
        for (qsizetype i = 0; i < 2; ++i) {
            QCOMPARE(root->child(i)->kind(), qint64(NodeKind::Integer));
            QCOMPARE(root->child(i)->value(), QVariant(qint64(i + 1)));
            QCOMPARE(root->child(i)->parent(), root);
        }
    }

    // Only an array or an object at the top level makes a document; anything else gives none and a reason.
    void fromTextRefused_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("number") << "42";
        QTest::newRow("string") << "\"x\"";
        QTest::newRow("null") << "null";
        QTest::newRow("true") << "true";
        QTest::newRow("empty") << "";
        QTest::newRow("whitespace") << " \n";
        QTest::newRow("unterminated") << "[1,";
        QTest::newRow("trailing garbage") << "{} x";
        QTest::newRow("two documents") << "[] []";
    }
    void fromTextRefused()
    {
        QFETCH(QString, text);
        ParseError error;
        QVERIFY(!Document::documentFromText(text, &error));
        QVERIFY(!error.message.isEmpty());
    }

    // A document read from a file is saved, located at the file and named after it, whatever the extension.
    void fromFile()
    {
        const QString path = m_dir.filePath(QStringLiteral("notes.txt"));
        QVERIFY(writeFile(path, "{}"));
        const auto document = Document::documentFromFile(path);
        QVERIFY(document);
        QVERIFY(document->saved());
        QCOMPARE(document->name(), std::optional<QString>(QStringLiteral("notes.txt")));
        QCOMPARE(document->url(), path);
        QVERIFY(document->root());
        QCOMPARE(document->root()->name(), QStringLiteral("root"));
        QCOMPARE(document->root()->kind(), qint64(NodeKind::Object));
        QCOMPARE(document->root()->childCount(), 0);
    }

    // A file that cannot be read, or whose text is no document, gives none with a reason.
    void fromFileRefused_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("missing") << "missing.json" << QByteArray();
        QTest::newRow("directory") << "folder" << QByteArray();
        QTest::newRow("empty") << "empty.json" << QByteArray("");
        QTest::newRow("scalar") << "scalar.json" << QByteArray("42");
        QTest::newRow("syntax") << "broken.json" << QByteArray("{\"a\":}");
        QTest::newRow("bad utf-8") << "latin1.json" << QByteArray("[\"caf\xE9\"]");
        QTest::newRow("odd utf-16") << "odd.json" << QByteArray("\xFF\xFE[\0]\0 ", 7);
    }
    void fromFileRefused()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        const QString path = m_dir.filePath(file);
        if (file == QLatin1String("folder"))
            QVERIFY(QDir(m_dir.path()).mkpath(file));
        else if (!content.isNull())
            QVERIFY(writeFile(path, content));
        ParseError error;
        QVERIFY(!Document::documentFromFile(path, &error));
        QVERIFY(!error.message.isEmpty());
    }

    // The text encoding is detected from the byte-order mark; without one the file is UTF-8.
    void fromFileEncodings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QString text = QStringLiteral("{\"k\":\"caf\u00E9 \u20AC \U0001F600\"}");
        QTest::newRow("utf-8") << text.toUtf8();
        QTest::newRow("utf-8 bom") << encoded(text, QStringConverter::Utf8);
        QTest::newRow("utf-16le bom") << encoded(text, QStringConverter::Utf16LE);
        QTest::newRow("utf-16be bom") << encoded(text, QStringConverter::Utf16BE);
        QTest::newRow("utf-32le bom") << encoded(text, QStringConverter::Utf32LE);
        QTest::newRow("utf-32be bom") << encoded(text, QStringConverter::Utf32BE);
    }
    void fromFileEncodings()
    {
        QFETCH(QByteArray, bytes);
        const QString path = m_dir.filePath(QStringLiteral("encoded.json"));
        QVERIFY(writeFile(path, bytes));
        const auto document = Document::documentFromFile(path);
        QVERIFY(document);
        TreeNode* root = document->root();
        QCOMPARE(root->childCount(), 1);
        QCOMPARE(root->child(0)->name(), QStringLiteral("k"));
        QCOMPARE(root->child(0)->value(), QVariant(QStringLiteral("caf\u00E9 \u20AC \U0001F600")));
    }

    // Every assignment of the saved flag is announced, also when it keeps its value.
    void savedNotifiesEveryTime()
    {
        auto document = Document::documentFromText(QStringLiteral("{}"));
        QVERIFY(document);
        SavedStatusRecorder recorder;
        document->setSaved(true);
        QCOMPARE(recorder.count.load(), 1);
        QVERIFY(document->saved());
        document->setSaved(true);
        QCOMPARE(recorder.count.load(), 2);
        document->setSaved(false);
        document->setSaved(false);
        QCOMPARE(recorder.count.load(), 4);
        QVERIFY(!document->saved());
        QCOMPARE(recorder.offMainThread.load(), 0);
    }

    // The saved flag may be set from any thread; its announcement still arrives on the main thread.
    void savedFromWorkerThread_data()
    {
        QTest::addColumn<bool>("useQThread");
        QTest::newRow("QThread") << true;
        QTest::newRow("std::thread") << false;
    }
    void savedFromWorkerThread()
    {
        QFETCH(bool, useQThread);
        auto document = Document::documentFromText(QStringLiteral("{}"));
        QVERIFY(document);
        SavedStatusRecorder recorder;
        Document* target = document.get();
        if (useQThread) {
            std::unique_ptr<QThread> thread(QThread::create([target] {
                target->setSaved(true);
                target->setSaved(true);
            }));
            thread->start();
            QVERIFY(thread->wait());
        } else {
            std::thread thread([target] {
                target->setSaved(true);
                target->setSaved(true);
            });
            thread.join();
        }
        QVERIFY(document->saved());
        QTRY_COMPARE(recorder.count.load(), 2);
        QCOMPARE(recorder.offMainThread.load(), 0);
    }

    // Reading on a worker hands the finished document (or the reason for none) to the main thread.
    void loadAsync_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("loads");
        QTest::newRow("valid") << QByteArray("{\"b\":[true],\"a\":null}") << true;
        QTest::newRow("invalid") << QByteArray("{\"a\" 1}") << false;
        QTest::newRow("missing") << QByteArray() << false;
    }
    void loadAsync()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, loads);
        const QString path = m_dir.filePath(QStringLiteral("async.json"));
        QFile::remove(path);
        if (!content.isNull())
            QVERIFY(writeFile(path, content));
        QObject context;
        LoadResult result;
        QThread* mainThread = QThread::currentThread();
        Document::loadDocumentAsync(
            path, &context, [&result, mainThread](std::unique_ptr<Document> document, std::optional<ParseError> error) {
                result.called = true;
                result.onMainThread = QThread::currentThread() == mainThread;
                result.document = std::move(document);
                result.error = std::move(error);
            });
        QTRY_VERIFY(result.called);
        QVERIFY(result.onMainThread);
        QCOMPARE(bool(result.document), loads);
        if (loads) {
            QVERIFY(!result.error);
            QCOMPARE(result.document->thread(), mainThread);
            QVERIFY(result.document->saved());
            QCOMPARE(result.document->name(), std::optional<QString>(QStringLiteral("async.json")));
            QCOMPARE(result.document->root()->childCount(), 2);
            QCOMPARE(result.document->root()->child(0)->name(), QStringLiteral("a"));
        } else {
            QVERIFY(result.error);
            QVERIFY(!result.error->message.isEmpty());
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
        Document::loadDocumentAsync(path, context.get(),
                                    [&called](std::unique_ptr<Document>, std::optional<ParseError>) { called = true; });
        context.reset();
        release.release();
        pool->waitForDone();
        pool->setMaxThreadCount(threads);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QVERIFY(!called);
    }

    // Saving writes compact, key-sorted JSON over the file, marks the document saved and remembers the file.
    void save()
    {
        const QString path = m_dir.filePath(QStringLiteral("save.json"));
        QVERIFY(writeFile(path,
                          "{\n  \"b\": [1, 2.5, 1e3],\n  \"a\": \"x/y\",\n  \"A\": {\"z\": null, \"c\": false}\n}\n"));
        auto document = Document::documentFromFile(path);
        QVERIFY(document);
        document->setSaved(false);
        QFile before(path);
        QVERIFY(before.open(QIODevice::ReadOnly));
        const QByteArray original = readFile(path);
        SavedStatusRecorder recorder;
        QCOMPARE(document->save(), Document::SaveResult::Saved);
        QCOMPARE(readFile(path), QByteArray(R"({"A":{"c":false,"z":null},"a":"x\/y","b":[1,2.5,1000]})"));
        // The new text went into a new file that replaced the old one: a reader of the old file still sees
        // all of it, as it would had the save failed midway.
        QCOMPARE(before.readAll(), original);
        QVERIFY(document->saved());
        QCOMPARE(recorder.count.load(), 1);
        QVERIFY(m_presenter.alerts.empty());
        QCOMPARE(document->name(), std::optional<QString>(QStringLiteral("save.json")));
        const QString absolute = QFileInfo(path).absoluteFilePath();
        QCOMPARE(Settings::instance().recentDocuments().value(0), absolute);
        // Written through a temporary file that replaced the target: nothing else is left in the folder.
        QCOMPARE(QDir(m_dir.path()).entryList(QStringList{QStringLiteral("save*")}, QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("save.json")});

        // An edit reaches the file on the next save; the file is listed once however often it is saved.
        document->root()->child(1)->setValueLabel(QStringLiteral("x\"y"));
        QCOMPARE(document->save(), Document::SaveResult::Saved);
        QCOMPARE(readFile(path), QByteArray("{\"A\":{\"c\":false,\"z\":null},\"a\":\"x\\\"y\",\"b\":[1,2.5,1000]}"));
        QCOMPARE(Settings::instance().recentDocuments().count(absolute), 1);
    }

    // Saving a document that has no file asks for Save As and writes nothing.
    void saveWithoutFile()
    {
        auto document = Document::documentFromText(QStringLiteral("[1]"));
        QVERIFY(document);
        const QStringList recentBefore = Settings::instance().recentDocuments();
        const QStringList filesBefore = QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        QSignalSpy saveAs(document.get(), &Document::saveAsRequested);
        SavedStatusRecorder recorder;
        QCOMPARE(document->save(), Document::SaveResult::NeedsSaveAs);
        QCOMPARE(saveAs.count(), 1);
        QVERIFY(!document->saved());
        QCOMPARE(recorder.count.load(), 0);
        QVERIFY(m_presenter.alerts.empty());
        QVERIFY(document->url().isEmpty());
        QCOMPARE(Settings::instance().recentDocuments(), recentBefore);
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), filesBefore);
    }

    // A failed save tells the user once, keeps the old file as it was and leaves the saved flag alone.
    void saveFailure_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<bool>("savedBefore");
        for (const char* failure : {"string root", "no root", "target is a directory", "missing folder"}) {
            QTest::addRow("%s, saved", failure) << QString::fromLatin1(failure) << true;
            QTest::addRow("%s, unsaved", failure) << QString::fromLatin1(failure) << false;
        }
    }
    void saveFailure()
    {
        QFETCH(QString, failure);
        QFETCH(bool, savedBefore);
        const QByteArray original("{ \"keep\" : [1, 2] }");
        const QString path = m_dir.filePath(QStringLiteral("keep.json"));
        QVERIFY(writeFile(path, original));
        auto document = Document::documentFromFile(path);
        QVERIFY(document);

        QString target = path;
        if (failure == QLatin1String("string root")) {
            document->root()->setKindLabel(QStringLiteral("String"));
        } else if (failure == QLatin1String("no root")) {
            document->takeRoot();
        } else if (failure == QLatin1String("target is a directory")) {
            target = m_dir.filePath(QStringLiteral("occupied"));
            QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("occupied/inside")));
        } else {
            target = m_dir.filePath(QStringLiteral("absent/out.json"));
        }
        document->setUrl(target);
        document->setSaved(savedBefore);
        const QStringList recentBefore = Settings::instance().recentDocuments();
        SavedStatusRecorder recorder;

        QCOMPARE(document->save(), Document::SaveResult::Failed);

        QCOMPARE(m_presenter.alerts.size(), std::size_t(1));
        const Alert& alert = m_presenter.alerts.front();
        QCOMPARE(alert.title, QStringLiteral("Something went wrong!"));
        QCOMPARE(alert.message, QStringLiteral("Document contents could not be saved to disk. Please, contact "
                                               "support if the issue persists."));
        QCOMPARE(alert.style, Alert::Style::Critical);
        QCOMPARE(document->saved(), savedBefore);
        QCOMPARE(recorder.count.load(), 0);
        QCOMPARE(Settings::instance().recentDocuments(), recentBefore);
        QCOMPARE(readFile(path), original);
        if (failure == QLatin1String("target is a directory")) {
            QVERIFY(QFileInfo(target).isDir());
            QCOMPARE(QDir(target).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                     QStringList{QStringLiteral("inside")});
        }
        if (failure == QLatin1String("missing folder"))
            QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("absent"))));
        // No temporary file is left behind next to the target.
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("keep")),
                 QStringList{QStringLiteral("keep.json")});
    }

private:
    QTemporaryDir m_settingsDir;
    QTemporaryDir m_dir;
    RecordingPresenter m_presenter;
};

QTEST_GUILESS_MAIN(TestDocument)
#include "tst_document.moc"
