#include "update/Updater.h"

#include "model/Log.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>

#ifndef BRACKWELL_UPDATE_FEED_URL
#define BRACKWELL_UPDATE_FEED_URL ""
#endif

Updater::Updater(const QUrl& feed, const QString& currentVersion, QObject* parent)
    : QObject(parent), m_feed(feed), m_currentVersion(currentVersion)
{}

Updater::~Updater() = default;

QUrl Updater::configuredFeed()
{
    const QByteArray fromEnvironment = qgetenv("BRACKWELL_UPDATE_FEED_URL");
    return QUrl(fromEnvironment.isEmpty() ? QStringLiteral(BRACKWELL_UPDATE_FEED_URL)
                                          : QString::fromUtf8(fromEnvironment));
}

int Updater::compareVersions(const QString& a, const QString& b)
{
    // Leading digits of each component count; "2-beta" reads as 2.
    static const QRegularExpression digits(QStringLiteral("^\\d+"));
    const QStringList left = a.trimmed().split(QLatin1Char('.'));
    const QStringList right = b.trimmed().split(QLatin1Char('.'));
    for (qsizetype i = 0; i < std::max(left.size(), right.size()); ++i) {
        auto number = [](const QStringList& parts, qsizetype index) {
            const QRegularExpressionMatch match = digits.match(parts.value(index));
            return match.hasMatch() ? match.captured().toULongLong() : 0ULL;
        };
        const auto x = number(left, i);
        const auto y = number(right, i);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

void Updater::finish(const std::function<void()>& show)
{
    if (m_ui)
        show();
    m_sessionInProgress = false;
    emit checkFinished();
}

void Updater::checkForUpdates()
{
    if (m_sessionInProgress)
        return;
    m_sessionInProgress = true;
    if (m_feed.isEmpty() || !m_feed.isValid()) {
        finish([this] { m_ui->showNotConfigured(); });
        return;
    }
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    QNetworkRequest request(m_feed);
    request.setTransferTimeout(60 * 1000);
    QNetworkReply* reply = m_network->get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        if (reply->error() != QNetworkReply::NoError) {
            BW_LOG_ERROR("checkForUpdates(_:)", reply->errorString());
            const QString message = tr("The update information could not be read: %1").arg(reply->errorString());
            finish([this, message] { m_ui->showError(message); });
            return;
        }
        const QJsonObject feed = QJsonDocument::fromJson(reply->readAll()).object();
        const QString version = feed.value(QStringLiteral("version")).toString();
        const QString pageText = feed.value(QStringLiteral("url")).toString();
        const QUrl page(pageText, QUrl::StrictMode);
        // The page is opened for the user: only a web page will do, never a file or another program's scheme.
        const bool webPage = page.isValid() && !page.host().isEmpty() &&
                             (page.scheme() == QLatin1String("https") || page.scheme() == QLatin1String("http"));
        const QString problem = version.isEmpty() ? QStringLiteral("The update feed names no version.")
                                : !pageText.isEmpty() && !webPage
                                    ? QStringLiteral("The update feed's download page is not a web address: ") + pageText
                                    : QString();
        if (!problem.isEmpty()) {
            BW_LOG_ERROR("checkForUpdates(_:)", problem);
            const QString message = tr("The update information could not be understood.");
            finish([this, message] { m_ui->showError(message); });
            return;
        }
        if (compareVersions(version, m_currentVersion) > 0)
            finish([this, version, page] { m_ui->showAvailable(version, page); });
        else
            finish([this] { m_ui->showUpToDate(m_currentVersion); });
    });
}
