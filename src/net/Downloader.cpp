#include "net/Downloader.h"

#include "model/JsonReader.h"
#include "model/Log.h"
#include "net/ReplyChecks.h"

#include <QHash>
#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace Downloader {

std::optional<QUrl> parseUrl(const QString& text)
{
    // Strict parsing refuses what a URL cannot hold, such as spaces, instead of quietly escaping it.
    const QUrl url(text, QUrl::StrictMode);
    if (text.isEmpty() || !url.isValid() || url.isEmpty())
        return std::nullopt;
    return url;
}

QList<QPair<QByteArray, QByteArray>> mergedHeaders(const QList<QPair<QString, QString>>& rows)
{
    QList<QPair<QByteArray, QByteArray>> merged;
    QHash<QString, qsizetype> byName;
    for (const auto& [name, value] : rows) {
        const QString key = name.toLower();
        if (const auto found = byName.constFind(key); found != byName.constEnd()) {
            merged[*found].second += ',' + value.toUtf8();
            continue;
        }
        byName.insert(key, merged.size());
        merged.append({name.toUtf8(), value.toUtf8()});
    }
    return merged;
}

namespace {
std::chrono::milliseconds g_transferTimeout = kTransferTimeout;
} // namespace

void setTransferTimeout(std::chrono::milliseconds timeout)
{
    g_transferTimeout = timeout;
}

QNetworkRequest makeRequest(const QUrl& url, const QList<QPair<QString, QString>>& rows)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(int(g_transferTimeout.count()));
    for (const auto& [name, value] : mergedHeaders(rows))
        request.setRawHeader(name, value);
    return request;
}

QNetworkReply* send(QNetworkAccessManager& manager, const QNetworkRequest& request, Method method)
{
    return manager.sendCustomRequest(request,
                                     method == Method::Get ? QByteArrayLiteral("GET") : QByteArrayLiteral("POST"));
}

QString reasonPhrase(int status)
{
    static const QHash<int, QString> phrases{
        {100, QStringLiteral("Continue")},
        {101, QStringLiteral("Switching Protocols")},
        {200, QStringLiteral("OK")},
        {201, QStringLiteral("Created")},
        {202, QStringLiteral("Accepted")},
        {203, QStringLiteral("Non-Authoritative Information")},
        {204, QStringLiteral("No Content")},
        {205, QStringLiteral("Reset Content")},
        {206, QStringLiteral("Partial Content")},
        {300, QStringLiteral("Multiple Choices")},
        {301, QStringLiteral("Moved Permanently")},
        {302, QStringLiteral("Found")},
        {303, QStringLiteral("See Other")},
        {304, QStringLiteral("Not Modified")},
        {305, QStringLiteral("Use Proxy")},
        {307, QStringLiteral("Temporary Redirect")},
        {308, QStringLiteral("Permanent Redirect")},
        {400, QStringLiteral("Bad Request")},
        {401, QStringLiteral("Unauthorized")},
        {402, QStringLiteral("Payment Required")},
        {403, QStringLiteral("Forbidden")},
        {404, QStringLiteral("Not Found")},
        {405, QStringLiteral("Method Not Allowed")},
        {406, QStringLiteral("Not Acceptable")},
        {407, QStringLiteral("Proxy Authentication Required")},
        {408, QStringLiteral("Request Timeout")},
        {409, QStringLiteral("Conflict")},
        {410, QStringLiteral("Gone")},
        {411, QStringLiteral("Length Required")},
        {412, QStringLiteral("Precondition Failed")},
        {413, QStringLiteral("Content Too Large")},
        {414, QStringLiteral("URI Too Long")},
        {415, QStringLiteral("Unsupported Media Type")},
        {416, QStringLiteral("Range Not Satisfiable")},
        {417, QStringLiteral("Expectation Failed")},
        {418, QStringLiteral("I'm a teapot")},
        {421, QStringLiteral("Misdirected Request")},
        {422, QStringLiteral("Unprocessable Content")},
        {425, QStringLiteral("Too Early")},
        {426, QStringLiteral("Upgrade Required")},
        {428, QStringLiteral("Precondition Required")},
        {429, QStringLiteral("Too Many Requests")},
        {431, QStringLiteral("Request Header Fields Too Large")},
        {451, QStringLiteral("Unavailable For Legal Reasons")},
        {500, QStringLiteral("Internal Server Error")},
        {501, QStringLiteral("Not Implemented")},
        {502, QStringLiteral("Bad Gateway")},
        {503, QStringLiteral("Service Unavailable")},
        {504, QStringLiteral("Gateway Timeout")},
        {505, QStringLiteral("HTTP Version Not Supported")},
        {511, QStringLiteral("Network Authentication Required")},
    };
    if (const auto found = phrases.constFind(status); found != phrases.constEnd())
        return *found;
    // Unlisted codes are named by their class.
    switch (status / 100) {
    case 1:
        return QStringLiteral("Informational");
    case 2:
        return QStringLiteral("Success");
    case 3:
        return QStringLiteral("Redirection");
    case 4:
        return QStringLiteral("Client Error");
    case 5:
        return QStringLiteral("Server Error");
    default:
        return QStringLiteral("Unknown Status");
    }
}

Result<QString> judge(const std::optional<QString>& transportError, std::optional<int> httpStatus,
                      const QByteArray& body, bool hasBody)
{
    if (transportError) {
        BW_LOG_ERROR("downloadFromWebRequest(_:)", *transportError);
        return Error(Error::Code::Transfer, QStringLiteral("The request could not be completed: ") + *transportError);
    }
    if (httpStatus && (*httpStatus < 200 || *httpStatus > 299)) {
        Error error(Error::Code::HttpStatus, QStringLiteral("The server returned an error: ") +
                                                 reasonPhrase(*httpStatus) +
                                                 QStringLiteral(". Please check your URL and parameters."));
        error.status = *httpStatus;
        return error;
    }
    if (!hasBody || !QByteArrayView(body).isValidUtf8())
        return emptyResponse();
    // Only an array or an object counts; the parsed value serves only this check.
    if (!JsonReader::parseValue(body))
        return notValidJson();
    return QString::fromUtf8(body);
}

Error emptyResponse()
{
    return Error(Error::Code::EmptyResponse, QStringLiteral("The server returned no readable content."));
}

Error notValidJson()
{
    return Error(Error::Code::NotJson, QStringLiteral("The response from the server could not be parsed as JSON."));
}

QString alertTitle(const Error& failure)
{
    switch (failure.code) {
    case Error::Code::HttpStatus:
        return QStringLiteral("HTTP %1").arg(failure.status);
    case Error::Code::EmptyResponse:
        return QStringLiteral("Empty response");
    case Error::Code::NotJson:
        return QStringLiteral("Not valid JSON");
    default:
        return QStringLiteral("Request failed");
    }
}

Result<void> judgeHead(QNetworkReply& reply)
{
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (ReplyChecks::transferFailed(reply))
        return judge(reply.errorString(), std::nullopt, {}, true).error();
    if (status.isValid() && (status.toInt() < 200 || status.toInt() > 299))
        return judge(std::nullopt, status.toInt(), {}, true).error();
    return {};
}

Result<QString> judge(QNetworkReply& reply)
{
    if (auto head = judgeHead(reply); !head)
        return head.error();
    return judge(std::nullopt, std::nullopt, reply.readAll(), true);
}

} // namespace Downloader
