#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkRequest>
#include <QObject>
#include <QPair>
#include <QString>
#include <QUrl>
#include <chrono>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

// Fetching a JSON document over HTTP: building the request, and judging the answer.
namespace Downloader {

enum class Method { Get, Post };

// The URL typed by the user, or nothing when it is not one (empty, or holding characters a URL cannot).
std::optional<QUrl> parseUrl(const QString& text);

// Header rows as sent: names compared without letter case, each sent once with its values joined by
// commas in row order.
QList<QPair<QByteArray, QByteArray>> mergedHeaders(const QList<QPair<QString, QString>>& rows);

// A transfer that stalls this long fails.
constexpr std::chrono::milliseconds kTransferTimeout{60 * 1000};
// Tests wait less than a minute for a stalled server.
void setTransferTimeout(std::chrono::milliseconds timeout);

QNetworkRequest makeRequest(const QUrl& url, const QList<QPair<QString, QString>>& rows);
// Sends without a body for either method.
QNetworkReply* send(QNetworkAccessManager& manager, const QNetworkRequest& request, Method method);

// The standard reason phrase of an HTTP status code ("Not Found" for 404).
QString reasonPhrase(int status);

struct Answer
{
    bool failed = false; // an alert instead of a document
    QString title;
    QString message;
    QString text; // the body, when it is a JSON array or object
};

// Judges what came back: a transport error, an HTTP status outside 200–299, a body that is missing or not
// UTF-8, or one that is not a JSON array or object.
Answer judge(const std::optional<QString>& transportError, std::optional<int> httpStatus, const QByteArray& body,
             bool hasBody);
// The same for a finished reply.
Answer judge(QNetworkReply& reply);
// The checks that need no parsing (a failed transfer, an HTTP error status) for a finished
// reply; nothing when the body is to be judged.
std::optional<Answer> judgeHead(QNetworkReply& reply);
// The alert for a body that is not UTF-8, and the one for a body that is not a JSON array or object.
Answer emptyResponse();
Answer notValidJson();

} // namespace Downloader
