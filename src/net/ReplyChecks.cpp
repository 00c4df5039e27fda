#include "net/ReplyChecks.h"

#include <QNetworkReply>

namespace ReplyChecks {

bool transferFailed(const QNetworkReply& reply)
{
    const QNetworkReply::NetworkError error = reply.error();
    if (error == QNetworkReply::NoError)
        return false;
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const bool errorStatus = status.isValid() && (status.toInt() < 200 || status.toInt() > 299);
    // Qt turns an HTTP error status into one of the content or server errors; every other error ends the
    // transfer itself.
    const bool fromStatus =
        (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError) ||
        (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
    return !(errorStatus && fromStatus);
}

} // namespace ReplyChecks
