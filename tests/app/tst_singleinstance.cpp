#include "AppTestSupport.h"
#include "app/SingleInstance.h"

#include <QFileInfo>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTest>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Leaves a socket file that nobody listens on, as an instance that crashed would.
bool leaveStaleSocket(const QString& path)
{
    const QByteArray encoded = QFile::encodeName(path);
    sockaddr_un address{};
    if (size_t(encoded.size()) >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, encoded.constData(), size_t(encoded.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound && QFileInfo::exists(path);
}

// What another launch would send for `paths`.
QByteArray request(const QStringList& paths)
{
    QByteArray bytes;
    for (const QString& path : paths)
        bytes += path.toUtf8() + '\0';
    return bytes;
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        // Every test gets a name of its own, so that no two servers meet by accident.
        m_name = m_dir.filePath(QStringLiteral("instance-%1").arg(++m_counter));
    }

    // Nobody listening: the launch must carry on by itself.
    void forwardWithoutInstance() { QVERIFY(!SingleInstance::forwardToRunning({QStringLiteral("/a.json")}, m_name)); }

    // The running instance receives exactly the forwarded paths, or a request to show itself for none.
    void forwardReachesInstance_data()
    {
        QTest::addColumn<QStringList>("paths");
        QTest::newRow("two files") << QStringList{"/a.json", "/b.json"};
        QTest::newRow("unusual names") << QStringList{QString::fromUtf8("/dir with space/\xc3\xbc\xe2\x80\xa6.json")};
        QTest::newRow("no files") << QStringList{};
    }
    void forwardReachesInstance()
    {
        QFETCH(QStringList, paths);
        SingleInstance instance;
        QVERIFY(instance.listen(m_name));
        QSignalSpy opened(&instance, &SingleInstance::openRequested);
        QSignalSpy reopened(&instance, &SingleInstance::reopenRequested);
        QVERIFY(SingleInstance::forwardToRunning(paths, m_name));
        if (paths.isEmpty()) {
            QTRY_COMPARE(reopened.count(), 1);
            QCOMPARE(opened.count(), 0);
        } else {
            QTRY_COMPARE(opened.count(), 1);
            QCOMPARE(opened.first().first().toStringList(), paths);
            QCOMPARE(reopened.count(), 0);
        }
    }

    // A socket left behind by a crashed instance does not stop the next one from listening.
    void staleSocketIsReplaced()
    {
        QVERIFY(leaveStaleSocket(m_name));
        QVERIFY(!SingleInstance::forwardToRunning({QStringLiteral("/a.json")}, m_name));
        SingleInstance instance;
        QVERIFY(instance.listen(m_name));
        QSignalSpy opened(&instance, &SingleInstance::openRequested);
        QVERIFY(SingleInstance::forwardToRunning({QStringLiteral("/a.json")}, m_name));
        QTRY_COMPARE(opened.count(), 1);
    }

    // Listening on a name already taken still succeeds, and later launches reach the newer instance.
    void listenOnTakenName()
    {
        SingleInstance first;
        SingleInstance second;
        QVERIFY(first.listen(m_name));
        QVERIFY(second.listen(m_name));
        QSignalSpy firstOpened(&first, &SingleInstance::openRequested);
        QSignalSpy secondOpened(&second, &SingleInstance::openRequested);
        QVERIFY(SingleInstance::forwardToRunning({QStringLiteral("/a.json")}, m_name));
        QTRY_COMPARE(secondOpened.count(), 1);
        QCOMPARE(firstOpened.count(), 0);
    }

    // Forwarded files go through the controller's usual open path, confirmation included.
    void forwardedFileOpensInController()
    {
        LaunchedApp app;
        AppDelegate& delegate = app.delegate;
        ScriptedPrompts& prompts = app.prompts;
        SingleInstance instance;
        QVERIFY(instance.listen(m_name));
        connect(&instance, &SingleInstance::openRequested, &delegate, &AppDelegate::openFiles);
        connect(&instance, &SingleInstance::reopenRequested, &delegate, &AppDelegate::applicationShouldHandleReopen);

        const QString path = m_dir.filePath(QStringLiteral("data.json"));
        QVERIFY(writeFile(path, "{\"forwarded\":true}"));
        prompts.confirmationAnswers.push_back({true, false});
        QVERIFY(SingleInstance::forwardToRunning({path}, m_name));
        QTRY_COMPARE(delegate.windowSubtitle(), QStringLiteral("data.json"));
        QCOMPARE(prompts.confirmations.size(), 1);
        QCOMPARE(QString::fromUtf8(delegate.TheDocument()->root()->jsonText().value_or("?")),
                 QStringLiteral("{\"forwarded\":true}"));

        QVERIFY(!delegate.window()->isVisible());
        QVERIFY(SingleInstance::forwardToRunning({}, m_name));
        QTRY_VERIFY(delegate.window()->isVisible());
        QVERIFY(app.alerts.alerts.isEmpty());
        QVERIFY(prompts.unexpected.isEmpty());
    }

    // Bytes that are not a request are dropped without a signal, and the instance keeps serving.
    void garbageIsIgnored_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray valid = request({QStringLiteral("/a.json"), QStringLiteral("/b.json")});
        QTest::newRow("a few bytes") << QByteArray("\x13\x37\x42", 3);
        QTest::newRow("cut short") << valid.chopped(3);
        QTest::newRow("header only") << valid.left(4);
        QTest::newRow("odd string length") << QByteArray("\x00\x00\x00\x01\x00\x00\x00\x03xyz", 11);
        // Four bytes that claim four billion paths: nothing may be set aside for them before they arrive.
        QTest::newRow("absurd count") << QByteArray("\xff\xff\xff\xfe", 4);
        QTest::newRow("relative path") << request({QStringLiteral("a.json")});
        QTest::newRow("empty path") << QByteArray("/a.json\0\0", 9);
        QTest::newRow("invalid UTF-8") << QByteArray("/\xff.json\0", 8);
        // More than any launch sends: refused whole, even though it ends like a request.
        QTest::newRow("oversized")
            << request({QStringLiteral("/") + QString(600 * 1024, QLatin1Char('x'))}).repeated(2);
    }
    void garbageIsIgnored()
    {
        QFETCH(QByteArray, bytes);
        SingleInstance instance;
        QVERIFY(instance.listen(m_name));
        QSignalSpy opened(&instance, &SingleInstance::openRequested);
        QSignalSpy reopened(&instance, &SingleInstance::reopenRequested);

        QLocalSocket raw;
        raw.connectToServer(m_name);
        QVERIFY(raw.waitForConnected(2000));
        raw.write(bytes);
        QVERIFY(raw.waitForBytesWritten(2000));
        raw.disconnectFromServer();

        QVERIFY(SingleInstance::forwardToRunning({QStringLiteral("/after.json")}, m_name));
        QTRY_COMPARE(opened.count(), 1);
        QTest::qWait(50); // lets a late signal from the first connection show up
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened.first().first().toStringList(), QStringList{"/after.json"});
        QCOMPARE(reopened.count(), 0);
    }

private:
    QTemporaryDir m_dir;
    QString m_name;
    int m_counter = 0;
};

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
