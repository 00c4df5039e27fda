#include "../net/LocalHttpServer.h"
#include "TestSupport.h"
#include "update/Updater.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

namespace {

// Records what the updater shows, and whether a session was under way while it was shown.
class RecordingUi : public UpdaterUi
{
public:
    explicit RecordingUi(const Updater* updater) : m_updater(updater) {}
    void showAvailable(const QString& version, const QUrl& page) override
    {
        shown << QStringLiteral("available %1 %2").arg(version, page.toString());
        inSession << m_updater->sessionInProgress();
    }
    void showUpToDate(const QString& version) override
    {
        shown << QStringLiteral("up to date %1").arg(version);
        inSession << m_updater->sessionInProgress();
    }
    void showError(const QString& message) override
    {
        shown << QStringLiteral("error ") + message;
        inSession << m_updater->sessionInProgress();
    }
    void showNotConfigured() override
    {
        shown << QStringLiteral("not configured");
        inSession << m_updater->sessionInProgress();
    }
    QStringList shown;
    QList<bool> inSession;

private:
    const Updater* m_updater;
};

} // namespace

class TestUpdater : public QObject
{
    Q_OBJECT
private slots:
    // Versions compare number by number: 1.10 is newer than 1.9, and missing parts count as zero.
    void compareVersions_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("order");
        QTest::newRow("minor by number") << "1.10"
                                         << "1.9" << 1;
        QTest::newRow("missing part") << "1.2"
                                      << "1.2.0" << 0;
        QTest::newRow("patch") << "1.2.3"
                               << "1.2.10" << -1;
        QTest::newRow("first difference decides") << "10.0"
                                                  << "9.99.99" << 1;
        QTest::newRow("suffix ignored") << "2-beta"
                                        << "2" << 0;
    }
    void compareVersions()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, order);
        QCOMPARE(Updater::compareVersions(a, b), order);
        QCOMPARE(Updater::compareVersions(b, a), -order);
    }

    // A check reads the feed and reports a newer, the same or an older version; the session lasts until the
    // report has been shown.
    void checkAgainstFeed_data()
    {
        QTest::addColumn<QByteArray>("feed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("newer") << QByteArray("{\"version\":\"0.10.0\",\"url\":\"https://example.org/get\"}")
                               << "available 0.10.0 https://example.org/get";
        QTest::newRow("same") << QByteArray("{\"version\":\"0.9.0\"}") << "up to date 0.9.0";
        QTest::newRow("older") << QByteArray("{\"version\":\"0.8.9\"}") << "up to date 0.9.0";
        QTest::newRow("no version") << QByteArray("{}") << "error The update information could not be understood.";
        QTest::newRow("not JSON") << QByteArray("<html>") << "error The update information could not be understood.";
        QTest::newRow("http page") << QByteArray("{\"version\":\"1.0\",\"url\":\"http://example.org/get\"}")
                                   << "available 1.0 http://example.org/get";
        // The page is opened for the user: nothing but a web address is.
        for (const char* page : {"file:///usr/bin/xterm", "javascript:alert(1)", "ftp://example.org/get",
                                 "example.org/get", "https://"})
            QTest::newRow(page) << (QByteArray("{\"version\":\"1.0\",\"url\":\"") + page + "\"}")
                                << "error The update information could not be understood.";
    }
    void checkAgainstFeed()
    {
        QFETCH(QByteArray, feed);
        QFETCH(QString, expected);
        LocalHttpServer server;
        server.respond(200, "OK", feed);
        Updater updater(server.url(QStringLiteral("/feed.json")), QStringLiteral("0.9.0"));
        RecordingUi ui(&updater);
        updater.setUi(&ui);
        updater.start();
        QVERIFY(updater.isStarted());
        QSignalSpy finished(&updater, &Updater::checkFinished);
        updater.checkForUpdates();
        QVERIFY(updater.sessionInProgress());
        // A second request while one is under way starts nothing more.
        updater.checkForUpdates();
        QVERIFY(finished.wait(30000));
        QCOMPARE(ui.shown, QStringList{expected});
        QCOMPARE(ui.inSession, QList<bool>{true});
        QVERIFY(!updater.sessionInProgress());
        QCOMPARE(server.requests.size(), 1);
    }

    // A feed that cannot be reached or answers with an error status is reported as unreadable, with a log line.
    void unreadableFeed_data()
    {
        QTest::addColumn<bool>("listening");
        QTest::newRow("nothing listening") << false;
        QTest::newRow("404") << true;
    }
    void unreadableFeed()
    {
        QFETCH(bool, listening);
        LocalHttpServer server;
        server.respond(404, "Not Found", "");
        QUrl feed = server.url(QStringLiteral("/feed.json"));
        if (!listening) {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            feed.setPort(closed.serverPort());
            closed.close();
        }
        Updater updater(feed, QStringLiteral("1.0"));
        RecordingUi ui(&updater);
        updater.setUi(&ui);
        LogRecorder log;
        QSignalSpy finished(&updater, &Updater::checkFinished);
        updater.checkForUpdates();
        QVERIFY(finished.wait(30000));
        QCOMPARE(ui.shown.size(), 1);
        QVERIFY2(ui.shown.first().startsWith(QStringLiteral("error The update information could not be read: ")),
                 qPrintable(ui.shown.first()));
        QCOMPARE(log.errorsNaming(QStringLiteral("checkForUpdates(_:)")), 1);
    }

    // Without a feed address a check says so at once and sends nothing.
    void notConfigured()
    {
        qunsetenv("BRACKWELL_UPDATE_FEED_URL");
        Updater updater(Updater::configuredFeed(), QStringLiteral("1.0"));
        RecordingUi ui(&updater);
        updater.setUi(&ui);
        updater.checkForUpdates();
        QCOMPARE(ui.shown, QStringList{"not configured"});
        QVERIFY(!updater.sessionInProgress());
        qputenv("BRACKWELL_UPDATE_FEED_URL", "http://127.0.0.1:9/feed.json");
        QCOMPARE(Updater::configuredFeed(), QUrl(QStringLiteral("http://127.0.0.1:9/feed.json")));
        qunsetenv("BRACKWELL_UPDATE_FEED_URL");
    }
};

QTEST_GUILESS_MAIN(TestUpdater)
#include "tst_updater.moc"
