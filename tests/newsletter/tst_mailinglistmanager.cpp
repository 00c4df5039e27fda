#include "../net/LocalHttpServer.h"
#include "model/Settings.h"
#include "newsletter/MailingListManager.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <memory>

using Kind = MailingListManager::SubmitStatus::Kind;
using Decision = MailingListManager::Decision;

namespace {

const QString kAppId = QStringLiteral("org.brackwell.Test");
const QString kInstallKey = QStringLiteral("mailingList.org.brackwell.Test.installDate");
const QString kCountKey = QStringLiteral("mailingList.org.brackwell.Test.launchCount");
const QString kShownKey = QStringLiteral("mailingList.org.brackwell.Test.lastShownAt");
const QString kDecisionKey = QStringLiteral("mailingList.shared.decision");
const QString kSnoozeKey = QStringLiteral("mailingList.shared.snoozeUntil");

// Two settings files in a temporary directory and a clock the test moves by hand.
struct Fixture
{
    QTemporaryDir dir;
    QDateTime clock = QDateTime(QDate(2024, 3, 10), QTime(12, 0));
    QString sharedPath = dir.filePath(QStringLiteral("shared.conf"));
    QString appPath = dir.filePath(QStringLiteral("app.conf"));

    std::unique_ptr<MailingListManager> make(const QUrl& endpoint = {}, const QByteArray& secret = {},
                                             std::chrono::milliseconds timeout = std::chrono::minutes(1))
    {
        return std::make_unique<MailingListManager>(MailingListManager::Environment{
            sharedPath, appPath, kAppId, [this] { return clock; }, endpoint, secret, timeout});
    }
    QVariant shared(const QString& key) const { return QSettings(sharedPath, QSettings::IniFormat).value(key); }
    QVariant app(const QString& key) const { return QSettings(appPath, QSettings::IniFormat).value(key); }
    void setShared(const QString& key, const QVariant& value)
    {
        QSettings(sharedPath, QSettings::IniFormat).setValue(key, value);
    }
    void setApp(const QString& key, const QVariant& value)
    {
        QSettings(appPath, QSettings::IniFormat).setValue(key, value);
    }
};

} // namespace

class TestMailingListManager : public QObject
{
    Q_OBJECT
private slots:
    // The automatic check and the menu command against every stored state that decides them.
    void presentation_data()
    {
        QTest::addColumn<int>("launchesBefore");    // -1: none stored
        QTest::addColumn<int>("installedHoursAgo"); // -1: no install date
        QTest::addColumn<QString>("decision");
        QTest::addColumn<int>("snoozeHoursAhead"); // 0: no snooze date
        QTest::addColumn<bool>("defer");
        QTest::addColumn<bool>("automatic");
        QTest::addColumn<bool>("onRequest");
        QTest::newRow("first launch") << -1 << -1 << QString() << 0 << false << false << true;
        QTest::newRow("third launch same day") << 2 << 0 << QString() << 0 << false << true << true;
        QTest::newRow("second launch three days on") << 1 << 72 << QString() << 0 << false << true << true;
        QTest::newRow("just short of two whole days") << 1 << 47 << QString() << 0 << false << false << true;
        QTest::newRow("snoozed until later") << 5 << 0 << "snoozed" << 72 << false << false << true;
        QTest::newRow("snooze lapsed") << 5 << 0 << "snoozed" << -1 << false << true << true;
        QTest::newRow("snoozed without a date") << 5 << 0 << "snoozed" << 0 << false << true << true;
        QTest::newRow("declined") << 5 << 72 << "declined" << 0 << false << false << false;
        QTest::newRow("subscribed") << 5 << 72 << "subscribed" << 0 << false << false << false;
        QTest::newRow("unknown decision reads as none") << 5 << 0 << "maybe" << 0 << false << true << true;
        QTest::newRow("deferred while updating") << 5 << 72 << QString() << 0 << true << false << true;
    }
    void presentation()
    {
        QFETCH(int, launchesBefore);
        QFETCH(int, installedHoursAgo);
        QFETCH(QString, decision);
        QFETCH(int, snoozeHoursAhead);
        QFETCH(bool, defer);
        QFETCH(bool, automatic);
        QFETCH(bool, onRequest);

        Fixture f;
        if (launchesBefore >= 0)
            f.setApp(kCountKey, launchesBefore);
        if (installedHoursAgo >= 0)
            f.setApp(kInstallKey, f.clock.addSecs(-3600LL * installedHoursAgo));
        if (!decision.isEmpty())
            f.setShared(kDecisionKey, decision);
        if (snoozeHoursAhead != 0)
            f.setShared(kSnoozeKey, f.clock.addSecs(3600LL * snoozeHoursAhead));

        auto manager = f.make();
        const bool optedOut = decision == QLatin1String("declined") || decision == QLatin1String("subscribed");
        QCOMPARE(manager->isOptedOut(), optedOut);
        manager->setShouldDeferPrompt([defer] { return defer; });
        QSignalSpy presentedSpy(manager.get(), &MailingListManager::isPresentedChanged);

        manager->registerLaunch();
        QCOMPARE(f.app(kCountKey).toInt(), qMax(launchesBefore, 0) + 1);
        manager->presentIfEligible();
        QCOMPARE(manager->isPresented(), automatic);
        QCOMPARE(presentedSpy.size(), automatic ? 1 : 0);
        QCOMPARE(f.app(kShownKey).toDateTime(), automatic ? f.clock : QDateTime());

        manager->setIsPresented(false);
        f.clock = f.clock.addSecs(60);
        manager->presentOnRequest();
        QCOMPARE(manager->isPresented(), onRequest);
        if (onRequest)
            QCOMPARE(f.app(kShownKey).toDateTime(), f.clock);
        // Presenting never answers for the user.
        QCOMPARE(f.shared(kDecisionKey).toString(), decision);
    }

    // A first launch stores the install date and asks nothing. Later launches keep that date; with the count
    // cleared only the day rule is left, and it asks 2.5 s after the launch.
    void registerLaunch()
    {
        Fixture f;
        {
            auto manager = f.make();
            manager->registerLaunch();
            QCOMPARE(f.app(kInstallKey).toDateTime(), f.clock);
            QCOMPARE(f.app(kCountKey).toInt(), 1);
            QCOMPARE(manager->daysSinceInstall(), 0);
        }
        const QDateTime installed = f.clock;
        f.clock = f.clock.addDays(3);
        QSettings(f.appPath, QSettings::IniFormat).remove(kCountKey);
        auto manager = f.make();
        manager->registerLaunch();
        QCOMPARE(f.app(kInstallKey).toDateTime(), installed);
        QCOMPARE(f.app(kCountKey).toInt(), 1);
        QCOMPARE(manager->daysSinceInstall(), 3);
        QVERIFY(!manager->isPresented());
        QTRY_VERIFY_WITH_TIMEOUT(manager->isPresented(), 5000);
    }

    // "Maybe later" stores a snooze of two weeks; declining opts out for good, also for a later manager.
    void snoozeAndDecline()
    {
        Fixture f;
        auto manager = f.make();
        QSignalSpy optedOutSpy(manager.get(), &MailingListManager::isOptedOutChanged);
        manager->presentOnRequest();
        manager->snooze();
        QVERIFY(!manager->isPresented());
        QVERIFY(!manager->isOptedOut());
        QCOMPARE(manager->decision(), Decision::Snoozed);
        QCOMPARE(f.shared(kDecisionKey).toString(), QStringLiteral("snoozed"));
        QCOMPARE(f.shared(kSnoozeKey).toDateTime(), f.clock.addDays(14));

        manager->presentOnRequest();
        manager->decline();
        QVERIFY(!manager->isPresented());
        QVERIFY(manager->isOptedOut());
        QCOMPARE(optedOutSpy.size(), 1);
        QCOMPARE(f.shared(kDecisionKey).toString(), QStringLiteral("declined"));
        QVERIFY(f.make()->isOptedOut());
    }

    // A shared file that cannot be written leaves every key with the application.
    void sharedFileUnusable_data()
    {
        QTest::addColumn<bool>("emptyPath");
        QTest::newRow("no path") << true;
        QTest::newRow("path is a directory") << false;
    }
    void sharedFileUnusable()
    {
        QFETCH(bool, emptyPath);
        Fixture f;
        f.sharedPath = emptyPath ? QString() : f.dir.path();
        auto manager = f.make();
        manager->snooze();
        QCOMPARE(f.app(kDecisionKey).toString(), QStringLiteral("snoozed"));
        QCOMPARE(f.app(kSnoozeKey).toDateTime(), f.clock.addDays(14));
        QCOMPARE(manager->decision(), Decision::Snoozed);
    }

    // The country comes only from a territory the locale name states: a language alone names no country.
    void requestBody_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("country"); // empty: no member
        QTest::newRow("language and territory") << "de_DE.UTF-8" << "Germany";
        QTest::newRow("language alone") << "de" << QString();
        QTest::newRow("language alone, with codeset") << "de.UTF-8" << QString();
        QTest::newRow("another territory of the language") << "de_AT@euro" << "Austria";
        QTest::newRow("script and territory") << "sr_Latn_RS" << "Serbia";
        QTest::newRow("BCP 47 form") << "en-US" << "United States";
        QTest::newRow("C locale") << "C.UTF-8" << QString();
        QTest::newRow("none") << QString() << QString();
    }
    void requestBody()
    {
        QFETCH(QString, locale);
        QFETCH(QString, country);
        const QJsonObject body = MailingListManager::requestBody(QStringLiteral("a@b.example"), kAppId,
                                                                 QStringLiteral("Europe/Berlin"), locale);
        QCOMPARE(body.contains(QStringLiteral("country")), !country.isEmpty());
        QCOMPARE(body.value(QStringLiteral("country")).toString(), country);
        QCOMPARE(body.size(), country.isEmpty() ? 3 : 4);
    }

    // What goes over the wire: the trimmed address, the headers and the body members.
    void submitRequest_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QByteArray>("secret");
        QTest::addColumn<QByteArray>("locale"); // LC_ALL
        QTest::addColumn<QString>("country");
        QTest::newRow("trimmed, with secret, German in Germany")
            << " \t a@b.example\r\n"
            << "a@b.example" << QByteArray("0123456789abc") << QByteArray("de_DE.UTF-8") << "Germany";
        QTest::newRow("at sign alone, no secret, German") << "@"
                                                          << "@" << QByteArray() << QByteArray("de") << QString();
    }
    void submitRequest()
    {
        QFETCH(QString, address);
        QFETCH(QString, sent);
        QFETCH(QByteArray, secret);
        QFETCH(QByteArray, locale);
        QFETCH(QString, country);
        const QByteArray previousLocale = qgetenv("LC_ALL");
        qputenv("LC_ALL", locale);
        const auto restore = qScopeGuard([&] { qputenv("LC_ALL", previousLocale); });
        LocalHttpServer server;
        QVERIFY(server.isListening());
        server.respond(200, "OK", "{}");
        Fixture f;
        auto manager = f.make(server.url(QStringLiteral("/mailinglist.php")), secret);
        manager->submit(address);
        QCOMPARE(manager->status().kind, Kind::Submitting);
        QTRY_COMPARE(manager->status().kind, Kind::Success);

        QCOMPARE(server.requests.size(), 1);
        const QByteArray request = server.requests.first();
        QVERIFY(request.startsWith("POST /mailinglist.php "));
        QCOMPARE(LocalHttpServer::headerLines(request, "Content-Type"),
                 QList<QByteArray>{"Content-Type: application/json"});
        const QList<QByteArray> secretLines = LocalHttpServer::headerLines(request, "X-App-Secret");
        QCOMPARE(secretLines.size(), secret.isEmpty() ? 0 : 1);
        if (!secret.isEmpty())
            QCOMPARE(secretLines.first().mid(13).trimmed(), secret);

        const QByteArray payload = LocalHttpServer::afterHeaders(request);
        QVERIFY(!payload.contains('\n'));
        QJsonObject expected{{QStringLiteral("email"), sent},
                             {QStringLiteral("app"), kAppId},
                             {QStringLiteral("tz"), QString::fromUtf8(QTimeZone::systemTimeZoneId())}};
        if (!country.isEmpty())
            expected.insert(QStringLiteral("country"), country);
        QCOMPARE(QJsonDocument::fromJson(payload), QJsonDocument(expected));
    }

    // An address without an at sign, or only white space, is refused before anything is sent.
    void invalidAddressIsNotSent_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("white space only") << " \n\r\n\t ";
        QTest::newRow("no at sign") << " someone.example ";
    }
    void invalidAddressIsNotSent()
    {
        QFETCH(QString, address);
        LocalHttpServer server;
        server.respond(200, "OK", "{}");
        Fixture f;
        auto manager = f.make(server.url());
        QSignalSpy statusSpy(manager.get(), &MailingListManager::statusChanged);
        manager->submit(address);
        const MailingListManager::SubmitStatus expected{Kind::Failure,
                                                        QStringLiteral("Please enter a valid email address.")};
        QCOMPARE(manager->status(), expected);
        QCOMPARE(statusSpy.size(), 1);
        // Only the valid address that follows reaches the server.
        manager->submit(QStringLiteral("a@b.example"));
        QTRY_COMPARE(manager->status().kind, Kind::Success);
        QCOMPARE(server.requests.size(), 1);
        QVERIFY(LocalHttpServer::afterHeaders(server.requests.first()).contains("a@b.example"));
    }

    // How each answer of the service is judged.
    void submitOutcome_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("message");
        QTest::newRow("200") << 200 << true << QString();
        QTest::newRow("204") << 204 << true << QString();
        QTest::newRow("409 already subscribed") << 409 << true << QString();
        QTest::newRow("422") << 422 << false << "Please check your email address and try again.";
        QTest::newRow("500") << 500 << false << "Server returned 500. Please try again later.";
        QTest::newRow("300") << 300 << false << "Server returned 300. Please try again later.";
    }
    void submitOutcome()
    {
        QFETCH(int, code);
        QFETCH(bool, accepted);
        QFETCH(QString, message);
        LocalHttpServer server;
        server.respond(code, "Answer", code == 204 ? QByteArray() : QByteArray("{}"));
        Fixture f;
        f.setShared(kDecisionKey, QStringLiteral("snoozed"));
        auto manager = f.make(server.url());
        QSignalSpy optedOutSpy(manager.get(), &MailingListManager::isOptedOutChanged);
        manager->submit(QStringLiteral("a@b.example"));
        QTRY_VERIFY(manager->status().kind != Kind::Submitting);

        const MailingListManager::SubmitStatus expected{accepted ? Kind::Success : Kind::Failure, message};
        QCOMPARE(manager->status(), expected);
        QCOMPARE(manager->isOptedOut(), accepted);
        QCOMPARE(optedOutSpy.size(), accepted ? 1 : 0);
        QCOMPARE(manager->decision(), accepted ? Decision::Subscribed : Decision::Snoozed);
        QCOMPARE(manager->isPresented(), false);
    }

    // No server, or a transfer that breaks after a success status, confirms nothing: the subscription fails with
    // the transport's own description, no decision is stored, and a retry goes through every step again.
    void transportFailure_data()
    {
        QTest::addColumn<QByteArray>("response"); // empty: nothing listening
        QTest::addColumn<bool>("stall");
        const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 100\r\n\r\n";
        QTest::newRow("nothing listening") << QByteArray() << false;
        QTest::newRow("closed mid-body") << head + "{\"ok\":" << false;
        QTest::newRow("short body that parses") << head + "{}" << false;
        QTest::newRow("stall after the headers") << head + "{}" << true;
    }
    void transportFailure()
    {
        QFETCH(QByteArray, response);
        QFETCH(bool, stall);
        LocalHttpServer server;
        server.respondRaw(response, stall);
        QUrl url = server.url();
        if (response.isEmpty()) {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            url.setPort(closed.serverPort());
            closed.close();
        }
        Fixture f;
        auto manager = f.make(url, {}, std::chrono::milliseconds(500));
        for (int attempt = 0; attempt < 2; ++attempt) {
            QSignalSpy statusSpy(manager.get(), &MailingListManager::statusChanged);
            manager->submit(QStringLiteral("a@b.example"));
            QTRY_COMPARE(statusSpy.size(), 2);
            QCOMPARE(manager->status().kind, Kind::Failure);
            QVERIFY(!manager->status().message.isEmpty());
            QVERIFY(!manager->status().message.startsWith(QLatin1String("Server returned")));
            QCOMPARE(manager->decision(), Decision::None);
            QVERIFY(!manager->isOptedOut());
        }
    }

    // The real environment takes its endpoint and secret from the environment when set, and its files from the
    // settings in use.
    void productionEnvironment()
    {
        QStandardPaths::setTestModeEnabled(true);
        QTemporaryDir dir;
        const QString settingsPath = dir.filePath(QStringLiteral("settings.conf"));
        Settings::useFile(settingsPath);
        qputenv("BRACKWELL_NEWSLETTER_ENDPOINT", "http://127.0.0.1:1/mailinglist.php");
        qputenv("BRACKWELL_NEWSLETTER_SECRET", "fromenvironmt");
        const MailingListManager::Environment environment = MailingListManager::productionEnvironment();
        qunsetenv("BRACKWELL_NEWSLETTER_ENDPOINT");
        qunsetenv("BRACKWELL_NEWSLETTER_SECRET");
        QCOMPARE(environment.endpoint, QUrl(QStringLiteral("http://127.0.0.1:1/mailinglist.php")));
        QCOMPARE(environment.secret, QByteArray("fromenvironmt"));
        QCOMPARE(environment.appId, QStringLiteral("org.brackwell.Brackwell"));
        QCOMPARE(environment.appSettingsPath, settingsPath);
        QVERIFY(environment.sharedSettingsPath.endsWith(QLatin1String("/org.brackwell.shared.conf")));
        QCOMPARE(MailingListManager::productionEnvironment().endpoint.path(), QStringLiteral("/mailinglist.php"));
    }
};

QTEST_GUILESS_MAIN(TestMailingListManager)
#include "tst_mailinglistmanager.moc"
