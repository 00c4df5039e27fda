#include "../net/LocalHttpServer.h"
#include "AppTestSupport.h"
#include "app/downloader/DownloaderPopover.h"
#include "net/Downloader.h"
#include "net/HeaderEntry.h"

#include <QButtonGroup>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

namespace {

// Sends the popover's request for `url` and waits until its answer has been handled.
bool download(LaunchedApp& app, const QUrl& url, int method = 0)
{
    DownloaderPopover* popover = app.delegate.downloads()->downloadPopover();
    app.delegate.downloads()->showDownloaderMenu();
    popover->urlField()->setText(url.toString());
    popover->methodGroup()->button(method)->setChecked(true);
    QSignalSpy handled(app.delegate.downloads(), &DownloadController::downloadHandled);
    app.delegate.downloads()->downloadFromWebRequest();
    return handled.wait(30000) || handled.count() == 1;
}

} // namespace

class TestDownloadPopover : public QObject
{
    Q_OBJECT
private slots:
    // A JSON array from the server replaces a saved document without a question and closes the popover.
    void downloadReplacesSavedDocument()
    {
        LaunchedApp app;
        app.delegate.window()->show();
        app.document()->setSaved(true);
        LocalHttpServer server;
        server.respond(200, "OK", "[1,2,3]");
        QVERIFY(download(app, server.url(QStringLiteral("/data.json"))));
        QCOMPARE(app.json(), QStringLiteral("[1,2,3]"));
        QCOMPARE(app.subtitle(), QStringLiteral("Untitled*"));
        QVERIFY(app.prompts.confirmations.isEmpty());
        QVERIFY(app.alerts.alerts.isEmpty());
        QVERIFY(!app.delegate.downloads()->DownloaderIsShown());
        QVERIFY(!app.delegate.downloads()->isDownloading());
    }

    // An unsaved document asks under "performed-download"; Cancel keeps it, a silenced question does not ask.
    void unsavedDocumentAsks()
    {
        LaunchedApp app;
        app.delegate.window()->show();
        QVERIFY(app.delegate.loadJSONString(QStringLiteral("{\"keep\":1}")));
        LocalHttpServer server;
        server.respond(200, "OK", "{\"new\":true}");
        app.prompts.confirmationAnswers.push_back({false, true});
        QVERIFY(download(app, server.url()));
        QCOMPARE(app.prompts.confirmations.size(), 1);
        QCOMPARE(app.prompts.confirmations.first().title, QStringLiteral("Are you sure you want to proceed?"));
        QCOMPARE(app.json(), QStringLiteral("{\"keep\":1}"));
        QVERIFY(!app.delegate.downloads()->DownloaderIsShown());
        QVERIFY(Settings::instance().isSuppressed(Settings::performedDownloadKey()));
        QVERIFY(!Settings::instance().isSuppressed(Settings::openDocumentKey()));

        QVERIFY(download(app, server.url()));
        QCOMPARE(app.prompts.confirmations.size(), 1);
        QCOMPARE(app.json(), QStringLiteral("{\"new\":true}"));
    }

    // A download that is not plain JSON asks as a file does; an address ending in .jsonl is JSON Lines unasked.
    void relaxedDownload()
    {
        LaunchedApp app;
        app.delegate.window()->show();
        app.document()->setSaved(true);
        LocalHttpServer server;
        server.respond(200, "OK", "{\"a\": [1, 2,],}");
        app.prompts.confirmationAnswers.push_back({true, false});
        QVERIFY(download(app, server.url(QStringLiteral("/settings.json"))));
        QCOMPARE(app.prompts.confirmations.size(), 1);
        QCOMPARE(app.prompts.confirmations.first().message,
                 QStringLiteral("This download is not plain JSON: it has trailing commas (JSON with comments). Open it "
                                "anyway? Saving writes plain JSON."));
        QCOMPARE(app.json(), QStringLiteral("{\"a\":[1,2]}"));
        app.document()->setSaved(true);
        server.respond(200, "OK", "1\n2\n");
        QVERIFY(download(app, server.url(QStringLiteral("/events.jsonl?day=1"))));
        QCOMPARE(app.prompts.confirmations.size(), 1);
        QCOMPARE(app.json(), QStringLiteral("[1,2]"));
        QCOMPARE(app.subtitle(), QStringLiteral("Untitled (JSON Lines)*"));
    }

    // Every failure is one alert, closes the popover and leaves the document alone.
    void failuresAlert_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("alert");
        QTest::newRow("404")
            << 404 << QByteArray("[]")
            << "HTTP 404: The server returned an error: Not Found. Please check your URL and parameters.";
        QTest::newRow("bare string") << 200 << QByteArray("\"x\"")
                                     << "Not valid JSON: The response from the server could not be parsed as JSON.";
        QTest::newRow("empty body") << 200 << QByteArray()
                                    << "Not valid JSON: The response from the server could not be parsed as JSON.";
    }
    void failuresAlert()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, alert);
        LaunchedApp app;
        app.delegate.window()->show();
        app.document()->setSaved(true);
        const QString before = app.json();
        LocalHttpServer server;
        server.respond(status, status == 200 ? "OK" : "Not Found", body);
        QVERIFY(download(app, server.url()));
        QCOMPARE(app.alertTexts(), QStringList{alert});
        QCOMPARE(app.json(), before);
        QVERIFY(!app.delegate.downloads()->DownloaderIsShown());
        QVERIFY(!app.delegate.downloads()->isDownloading());
    }

    // A transfer that breaks after the status line fails as a request, whatever part of the body came: the
    // body is never judged, even when what arrived parses.
    void brokenTransferAlerts_data()
    {
        QTest::addColumn<QByteArray>("response");
        QTest::addColumn<bool>("stall");
        const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 100\r\n\r\n";
        QTest::newRow("closed mid-body") << head + "[1, 2," << false;
        QTest::newRow("short body that parses") << head + "[1]" << false;
        QTest::newRow("stall after the headers") << head + "[1]" << true;
    }
    void brokenTransferAlerts()
    {
        QFETCH(QByteArray, response);
        QFETCH(bool, stall);
        LaunchedApp app;
        app.delegate.window()->show();
        app.document()->setSaved(true);
        const QString before = app.json();
        LocalHttpServer server;
        server.respondRaw(response, stall);
        Downloader::setTransferTimeout(std::chrono::milliseconds(500));
        const bool handled = download(app, server.url());
        Downloader::setTransferTimeout(Downloader::kTransferTimeout);
        QVERIFY(handled);
        const QStringList alerts = app.alertTexts();
        QCOMPARE(alerts.size(), 1);
        QVERIFY2(alerts.first().startsWith(QStringLiteral("Request failed: The request could not be completed: ")),
                 qPrintable(alerts.first()));
        QCOMPARE(app.json(), before);
        QVERIFY(app.document()->saved());
        QVERIFY(!app.delegate.downloads()->isDownloading());
    }

    // An unusable URL sends nothing, alerts, closes the popover and still marks the window edited.
    void invalidUrl()
    {
        LaunchedApp app;
        app.delegate.window()->show();
        app.document()->setSaved(true);
        app.delegate.documents()->updateWindowSubtitle();
        QVERIFY(!app.delegate.window()->isWindowModified());
        LogRecorder log;
        app.delegate.downloads()->showDownloaderMenu();
        QVERIFY(app.delegate.downloads()->DownloaderIsShown());
        app.delegate.downloads()->downloadPopover()->urlField()->setText(QStringLiteral("http://a b/"));
        app.delegate.downloads()->downloadFromWebRequest();
        QCOMPARE(app.alertTexts(),
                 QStringList{"Invalid URL: The URL you entered doesn't look valid. Please check it and try again."});
        QCOMPARE(log.errorsNaming(QStringLiteral("downloadFromWebRequest(_:)")), 1);
        QVERIFY(!app.delegate.downloads()->DownloaderIsShown());
        QVERIFY(!app.delegate.downloads()->isDownloading());
        QVERIFY(app.delegate.window()->isWindowModified());
    }

    // Header rows go out as typed, and folding changes the popover's height by 170 each way.
    void headersAndFolding()
    {
        LaunchedApp app;
        app.delegate.window()->show();
        app.document()->setSaved(true);
        HeaderEntry* first = app.delegate.downloads()->addHeader();
        QCOMPARE(first->name(), QStringLiteral("newHeader"));
        QCOMPARE(first->value(), QStringLiteral("newValue"));
        first->setName(QStringLiteral("X-Key"));
        first->setValue(QStringLiteral("one"));
        HeaderEntry* second = app.delegate.downloads()->addHeader();
        second->setName(QStringLiteral("x-key"));
        second->setValue(QStringLiteral("two"));
        LocalHttpServer server;
        server.respond(200, "OK", "[]");
        QVERIFY(download(app, server.url(), 1));
        QCOMPARE(server.requests.size(), 1);
        QVERIFY(server.requests.first().startsWith("POST / HTTP/1.1"));
        QCOMPARE(LocalHttpServer::headerLines(server.requests.first(), "X-Key"), QList<QByteArray>{"X-Key: one,two"});
        app.delegate.downloads()->removeHeader(0);
        QCOMPARE(app.delegate.downloads()->headers().size(), 1);

        QWidget sender;
        LogRecorder log;
        app.delegate.downloads()->toggleDownloadPopover(&sender);
        QCOMPARE(log.errorsNaming(QStringLiteral("toggleDownloadPopover(_:)")), 1);
        app.delegate.downloads()->toggleDownloadPopover(app.delegate.window()->downloadButton());
        DownloaderPopover* popover = app.delegate.downloads()->downloadPopover();
        QCOMPARE(popover->height(), DownloaderPopover::foldedHeight);
        popover->headersButton()->setChecked(true);
        QVERIFY(!app.delegate.downloads()->headersCollapsed());
        QCOMPARE(popover->height(), DownloaderPopover::unfoldedHeight);
        popover->headersButton()->setChecked(false);
        QVERIFY(app.delegate.downloads()->headersCollapsed());
        QCOMPARE(popover->height(), DownloaderPopover::foldedHeight);
    }
};

QTEST_MAIN(TestDownloadPopover)
#include "tst_downloadpopover.moc"
