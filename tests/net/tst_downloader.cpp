#include "LocalHttpServer.h"
#include "TestSupport.h"
#include "net/Downloader.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QTest>
#include <memory>

using Downloader::Method;
using Rows = QList<QPair<QString, QString>>;
using Sent = QList<QPair<QByteArray, QByteArray>>;

Q_DECLARE_METATYPE(Downloader::Method)

namespace {

// A judgement as the alert shows it: failed, its title and message, or the body.
struct Answer
{
    bool failed = false;
    QString title;
    QString message;
    QString text;
};

Answer answerOf(const Result<QString>& judged)
{
    if (judged)
        return {false, {}, {}, *judged};
    return {true, Downloader::alertTitle(judged.error()), judged.error().message, {}};
}

const QString errorSuffix = QStringLiteral(". Please check your URL and parameters.");

// A JSON array of about `bytes` bytes.
QByteArray largeArray(qsizetype bytes)
{
    QByteArray text = "[";
    text.reserve(bytes + 16);
    for (int i = 0; text.size() < bytes; ++i)
        text += QByteArray::number(1000000 + i) + ',';
    text += "0]";
    return text;
}

} // namespace

class TestDownloader : public QObject
{
    Q_OBJECT

    QNetworkAccessManager m_manager;

    // The reply to one request, once it has finished (or after a generous wait, so that a hang fails the test).
    std::unique_ptr<QNetworkReply> fetch(const QUrl& url, Method method = Method::Get, const Rows& rows = {})
    {
        std::unique_ptr<QNetworkReply> reply(Downloader::send(m_manager, Downloader::makeRequest(url, rows), method));
        // Callers check isFinished() themselves, so that a reply that never ends fails where it matters.
        static_cast<void>(QTest::qWaitFor([&reply] { return reply->isFinished(); }, 60000));
        return reply;
    }

private slots:
    // Only the local servers are talked to, whatever proxy the environment names.
    void initTestCase() { m_manager.setProxy(QNetworkProxy::NoProxy); }

    // Empty text and text a URL cannot hold are refused rather than escaped; an ordinary URL is kept whole.
    void parseUrl_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("space in host") << QStringLiteral("http://a b/") << false;
        QTest::newRow("port, path, query") << QStringLiteral("http://127.0.0.1:8080/x?y=1") << true;
    }
    void parseUrl()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const auto url = Downloader::parseUrl(text);
        QCOMPARE(url.has_value(), valid);
        if (valid)
            QCOMPARE(url->toString(), text);
    }

    // Names are compared without letter case and sent once, in the spelling and place of their first row, with
    // the values joined by commas in row order; nothing is trimmed.
    void mergedHeaders_data()
    {
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<Sent>("sent");
        QTest::newRow("none") << Rows{} << Sent{};
        QTest::newRow("duplicate in another case")
            << Rows{{"X-A", "1"}, {"x-a", "2"}, {"B", "3"}} << Sent{{"X-A", "1,2"}, {"B", "3"}};
        QTest::newRow("duplicate after another name")
            << Rows{{"B", "3"}, {"X-A", "1"}, {"x-A", "2"}, {"X-a", "4"}} << Sent{{"B", "3"}, {"X-A", "1,2,4"}};
        QTest::newRow("spaces kept") << Rows{{" Name ", " v "}, {" Name ", ""}} << Sent{{" Name ", " v ,"}};
        QTest::newRow("non-ascii value") << Rows{{"N", "caf\u00E9"}} << Sent{{"N", "caf\xC3\xA9"}};
    }
    void mergedHeaders()
    {
        QFETCH(Rows, rows);
        QFETCH(Sent, sent);
        QCOMPARE(Downloader::mergedHeaders(rows), sent);
    }

    // Either method goes out under its own name and carries no body; header rows naming the same header arrive
    // as one header holding their values in row order.
    void methodOnTheWire_data()
    {
        QTest::addColumn<Method>("method");
        QTest::addColumn<QByteArray>("requestLine");
        QTest::newRow("get") << Method::Get << QByteArray("GET /data?id=7 HTTP/1.1");
        QTest::newRow("post") << Method::Post << QByteArray("POST /data?id=7 HTTP/1.1");
    }
    void methodOnTheWire()
    {
        QFETCH(Method, method);
        QFETCH(QByteArray, requestLine);
        LocalHttpServer server;
        QVERIFY(server.isListening());
        server.respond(200, "OK", "[]");
        const Rows rows{{"X-Token", "a"}, {"Accept", "application/json"}, {"x-token", "b"}, {"X-TOKEN", "c"}};
        const auto reply = fetch(server.url(QStringLiteral("/data?id=7")), method, rows);
        QVERIFY(reply->isFinished());
        QCOMPARE(reply->error(), QNetworkReply::NoError);
        QCOMPARE(server.requests.size(), 1);
        const QByteArray& request = server.requests.first();
        QCOMPARE(request.left(request.indexOf("\r\n")), requestLine);
        const auto length = LocalHttpServer::headerLines(request, "Content-Length");
        QVERIFY2(length.isEmpty() || length == QList<QByteArray>{"Content-Length: 0"}, request.constData());
        QCOMPARE(LocalHttpServer::afterHeaders(request), QByteArray());
        QCOMPARE(LocalHttpServer::headerLines(request, "X-Token"), QList<QByteArray>{"X-Token: a,b,c"});
        QCOMPARE(LocalHttpServer::headerLines(request, "Accept"), QList<QByteArray>{"Accept: application/json"});
    }

    // Only a status in 200–299 with a UTF-8 JSON array or object becomes a document, exactly as sent; an error
    // status wins over any body, and invalid UTF-8 counts as no readable content.
    void judgeReply_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("reason");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        const QString notJson = QStringLiteral("Not valid JSON");
        const QString notParsed = QStringLiteral("The response from the server could not be parsed as JSON.");
        const QString empty = QStringLiteral("Empty response");
        const QString unreadable = QStringLiteral("The server returned no readable content.");
        const auto serverError = [](const char* phrase) {
            return QStringLiteral("The server returned an error: ") + QLatin1String(phrase) + errorSuffix;
        };
        QTest::newRow("array") << 200 << QByteArray("OK") << QByteArray("[1, \"\xC3\xA9\", {\"a\": null}]\n")
                               << QString() << QString();
        QTest::newRow("object, 299") << 299 << QByteArray("Odd") << QByteArray("{}") << QString() << QString();
        QTest::newRow("empty body") << 200 << QByteArray("OK") << QByteArray() << notJson << notParsed;
        QTest::newRow("bare string") << 200 << QByteArray("OK") << QByteArray("\"x\"") << notJson << notParsed;
        QTest::newRow("truncated array") << 200 << QByteArray("OK") << QByteArray("[1,") << notJson << notParsed;
        QTest::newRow("invalid utf-8") << 200 << QByteArray("OK") << QByteArray("[\"\xC3\x28\"]") << empty
                                       << unreadable;
        QTest::newRow("304") << 304 << QByteArray("Not Modified") << QByteArray() << QStringLiteral("HTTP 304")
                             << serverError("Not Modified");
        QTest::newRow("404 with json") << 404 << QByteArray("Nope") << QByteArray("{\"error\":1}")
                                       << QStringLiteral("HTTP 404") << serverError("Not Found");
        QTest::newRow("500") << 500 << QByteArray("Oops") << QByteArray("[]") << QStringLiteral("HTTP 500")
                             << serverError("Internal Server Error");
    }
    void judgeReply()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, reason);
        QFETCH(QByteArray, body);
        QFETCH(QString, title);
        QFETCH(QString, message);
        LocalHttpServer server;
        QVERIFY(server.isListening());
        server.respond(status, reason, body, {{"Content-Type", "application/json"}});
        const auto reply = fetch(server.url());
        QVERIFY(reply->isFinished());
        const Answer answer = answerOf(Downloader::judge(*reply));
        QCOMPARE(answer.failed, !title.isEmpty());
        QCOMPARE(answer.title, title);
        QCOMPARE(answer.message, message);
        QCOMPARE(answer.text, title.isEmpty() ? QString::fromUtf8(body) : QString());
    }

    // A connection that fails before any HTTP answer is a failed request, reported in the log.
    void transportFailure_data()
    {
        QTest::addColumn<bool>("listening");
        QTest::newRow("refused") << false;
        QTest::newRow("closed without answer") << true;
    }
    void transportFailure()
    {
        QFETCH(bool, listening);
        LocalHttpServer server;
        QVERIFY(server.isListening());
        server.hangUp();
        QUrl url = server.url();
        if (!listening) {
            // A port that was just free, and is closed again.
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            url.setPort(closed.serverPort());
            closed.close();
        }
        LogRecorder log;
        const auto reply = fetch(url);
        QVERIFY(reply->isFinished());
        const Answer answer = answerOf(Downloader::judge(*reply));
        QVERIFY(answer.failed);
        QCOMPARE(answer.title, QStringLiteral("Request failed"));
        QVERIFY2(answer.message.startsWith(QStringLiteral("The request could not be completed: ")),
                 qPrintable(answer.message));
        QVERIFY(answer.message.size() > QStringLiteral("The request could not be completed: ").size());
        QCOMPARE(answer.text, QString());
        QCOMPARE(log.errorsNaming(QStringLiteral("downloadFromWebRequest(_:)")), 1);
        if (!listening)
            QCOMPARE(server.requests.size(), 0);
    }

    // The checks apply in order: transport error, then status, then a readable body, then its shape.
    void judgeParts_data()
    {
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("status"); // 0 for no HTTP status
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("hasBody");
        QTest::addColumn<QString>("title");
        QTest::newRow("no body") << QString() << 200 << QByteArray("[]") << false << QStringLiteral("Empty response");
        QTest::newRow("no body, no status")
            << QString() << 0 << QByteArray() << false << QStringLiteral("Empty response");
        QTest::newRow("no status, array") << QString() << 0 << QByteArray("[]") << true << QString();
        QTest::newRow("199") << QString() << 199 << QByteArray("[]") << true << QStringLiteral("HTTP 199");
        QTest::newRow("299") << QString() << 299 << QByteArray("[]") << true << QString();
        QTest::newRow("300") << QString() << 300 << QByteArray("[]") << true << QStringLiteral("HTTP 300");
        QTest::newRow("error before status")
            << QStringLiteral("Timed out") << 404 << QByteArray("[]") << true << QStringLiteral("Request failed");
        QTest::newRow("status before body") << QString() << 500 << QByteArray() << false << QStringLiteral("HTTP 500");
    }
    void judgeParts()
    {
        QFETCH(QString, error);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, hasBody);
        QFETCH(QString, title);
        LogRecorder log;
        const Answer answer =
            answerOf(Downloader::judge(error.isNull() ? std::nullopt : std::optional<QString>(error),
                                       status ? std::optional<int>(status) : std::nullopt, body, hasBody));
        QCOMPARE(answer.failed, !title.isEmpty());
        QCOMPARE(answer.title, title);
        QCOMPARE(answer.text, title.isEmpty() ? QString::fromUtf8(body) : QString());
        QCOMPARE(log.errorsNaming(QStringLiteral("downloadFromWebRequest(_:)")), error.isNull() ? 0 : 1);
    }

    // Listed codes have their standard phrase; others are named by their class.
    void reasonPhrase_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("phrase");
        QTest::newRow("418") << 418 << QStringLiteral("I'm a teapot");
        QTest::newRow("unlisted 599") << 599 << QStringLiteral("Server Error");
        QTest::newRow("unlisted 499") << 499 << QStringLiteral("Client Error");
    }
    void reasonPhrase()
    {
        QFETCH(int, status);
        QFETCH(QString, phrase);
        QCOMPARE(Downloader::reasonPhrase(status), phrase);
    }

    // A body of several megabytes arrives whole, not cut at some buffer size.
    void largeBody()
    {
        const QByteArray body = largeArray(5 * 1024 * 1024);
        LocalHttpServer server;
        QVERIFY(server.isListening());
        server.respond(200, "OK", body);
        const auto reply = fetch(server.url());
        QVERIFY(reply->isFinished());
        const Answer answer = answerOf(Downloader::judge(*reply));
        QVERIFY2(!answer.failed, qPrintable(answer.title));
        QCOMPARE(answer.text.size(), body.size());
        QVERIFY(answer.text == QString::fromLatin1(body));
    }
};

QTEST_GUILESS_MAIN(TestDownloader)
#include "tst_downloader.moc"
