#include "newsletter/MailingListManager.h"

#include "model/Settings.h"
#include "net/ReplyChecks.h"

#include <QDir>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTimeZone>
#include <QTimer>

#ifndef BRACKWELL_NEWSLETTER_ENDPOINT
#define BRACKWELL_NEWSLETTER_ENDPOINT "https://newsletter.brackwell.example/mailinglist.php"
#endif
#ifndef BRACKWELL_NEWSLETTER_SECRET
#define BRACKWELL_NEWSLETTER_SECRET ""
#endif

namespace {
const QString kDecisionKey = QStringLiteral("mailingList.shared.decision");
const QString kSnoozeUntilKey = QStringLiteral("mailingList.shared.snoozeUntil");
const QString kUnknownApp = QStringLiteral("unknown.app");
constexpr int kPromptDelayMs = 2500;
constexpr int kSnoozeDays = 14;
constexpr int kLaunchesBeforePrompt = 3;
constexpr int kDaysBeforePrompt = 2;

QString decisionName(MailingListManager::Decision decision)
{
    switch (decision) {
    case MailingListManager::Decision::Snoozed:
        return QStringLiteral("snoozed");
    case MailingListManager::Decision::Declined:
        return QStringLiteral("declined");
    case MailingListManager::Decision::Subscribed:
        return QStringLiteral("subscribed");
    case MailingListManager::Decision::None:
        break;
    }
    return QStringLiteral("none");
}

// Only a stored date counts; anything else under a date key is treated as absent.
QDateTime storedDate(const QSettings& store, const QString& key)
{
    const QVariant value = store.value(key);
    if (value.typeId() != QMetaType::QDateTime)
        return {};
    return value.toDateTime();
}

MailingListManager::SubmitStatus failure(const QString& message)
{
    return {MailingListManager::SubmitStatus::Kind::Failure, message};
}
} // namespace

MailingListManager& MailingListManager::shared()
{
    // Deliberately leaked: observers may hold on to it until the very end of the process.
    static MailingListManager* instance = new MailingListManager(productionEnvironment());
    return *instance;
}

MailingListManager::MailingListManager(Environment environment, QObject* parent)
    : QObject(parent), m_environment(std::move(environment))
{
    if (m_environment.appId.isEmpty())
        m_environment.appId = kUnknownApp;
    if (!m_environment.now)
        m_environment.now = [] { return QDateTime::currentDateTime(); };
    const Decision stored = decision();
    m_isOptedOut = stored == Decision::Declined || stored == Decision::Subscribed;
}

MailingListManager::~MailingListManager() = default;

MailingListManager::Environment MailingListManager::productionEnvironment()
{
    Environment environment;
    QString appId = QGuiApplication::desktopFileName();
    if (appId.endsWith(QLatin1String(".desktop")))
        appId.chop(8);
    environment.appId = appId.isEmpty() ? QStringLiteral("org.brackwell.Brackwell") : appId;
    const QString configDir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (!configDir.isEmpty())
        environment.sharedSettingsPath = QDir(configDir).filePath(QStringLiteral("org.brackwell.shared.conf"));
    environment.appSettingsPath = Settings::instance().store().fileName();

    const QByteArray endpoint = qgetenv("BRACKWELL_NEWSLETTER_ENDPOINT");
    environment.endpoint =
        QUrl(endpoint.isEmpty() ? QStringLiteral(BRACKWELL_NEWSLETTER_ENDPOINT) : QString::fromUtf8(endpoint));
    const QByteArray secret = qgetenv("BRACKWELL_NEWSLETTER_SECRET");
    environment.secret = secret.isEmpty() ? QByteArray(BRACKWELL_NEWSLETTER_SECRET) : secret;
    return environment;
}

// Opened afresh on every access so that an answer given in another of our applications is seen.
std::unique_ptr<QSettings> MailingListManager::sharedStore() const
{
    if (!m_environment.sharedSettingsPath.isEmpty()) {
        auto store = std::make_unique<QSettings>(m_environment.sharedSettingsPath, QSettings::IniFormat);
        if (store->isWritable())
            return store;
    }
    return appStore();
}

std::unique_ptr<QSettings> MailingListManager::appStore() const
{
    return std::make_unique<QSettings>(m_environment.appSettingsPath, QSettings::IniFormat);
}

QString MailingListManager::appKey(const QString& suffix) const
{
    return QStringLiteral("mailingList.") + m_environment.appId + suffix;
}

QDateTime MailingListManager::now() const
{
    return m_environment.now();
}

void MailingListManager::setIsPresented(bool presented)
{
    if (m_isPresented == presented)
        return;
    m_isPresented = presented;
    emit isPresentedChanged();
}

void MailingListManager::setOptedOut(bool optedOut)
{
    if (m_isOptedOut == optedOut)
        return;
    m_isOptedOut = optedOut;
    emit isOptedOutChanged();
}

void MailingListManager::setStatus(const SubmitStatus& status)
{
    if (m_status == status)
        return;
    m_status = status;
    emit statusChanged();
}

MailingListManager::Decision MailingListManager::decision() const
{
    const QString name = sharedStore()->value(kDecisionKey).toString();
    for (Decision candidate : {Decision::Snoozed, Decision::Declined, Decision::Subscribed}) {
        if (name == decisionName(candidate))
            return candidate;
    }
    return Decision::None;
}

void MailingListManager::storeDecision(Decision decision)
{
    sharedStore()->setValue(kDecisionKey, decisionName(decision));
}

void MailingListManager::setShouldDeferPrompt(std::function<bool()> predicate)
{
    m_shouldDeferPrompt = std::move(predicate);
}

void MailingListManager::registerLaunch()
{
    {
        const auto store = appStore();
        const QString installKey = appKey(QStringLiteral(".installDate"));
        if (!store->contains(installKey))
            store->setValue(installKey, now());
        const QString countKey = appKey(QStringLiteral(".launchCount"));
        store->setValue(countKey, store->value(countKey, 0).toInt() + 1);
    }
    // Give the main window time to appear before the prompt joins it.
    QTimer::singleShot(kPromptDelayMs, this, &MailingListManager::presentIfEligible);
}

void MailingListManager::presentIfEligible()
{
    const Decision current = decision();
    if (current == Decision::Declined || current == Decision::Subscribed)
        return;
    if (m_shouldDeferPrompt && m_shouldDeferPrompt())
        return;
    if (current == Decision::Snoozed) {
        // A lapsed snooze lets the prompt return; the decision stays snoozed until the user answers again.
        const QDateTime until = storedDate(*sharedStore(), kSnoozeUntilKey);
        if (until.isValid() && until > now())
            return;
    }
    const int launches = appStore()->value(appKey(QStringLiteral(".launchCount")), 0).toInt();
    if (launches < kLaunchesBeforePrompt && daysSinceInstall() < kDaysBeforePrompt)
        return;
    present();
}

void MailingListManager::presentOnRequest()
{
    const Decision current = decision();
    if (current == Decision::Declined || current == Decision::Subscribed)
        return;
    present();
}

void MailingListManager::present()
{
    setIsPresented(true);
    appStore()->setValue(appKey(QStringLiteral(".lastShownAt")), now());
}

int MailingListManager::daysSinceInstall() const
{
    const QDateTime installed = storedDate(*appStore(), appKey(QStringLiteral(".installDate")));
    if (!installed.isValid())
        return 0;
    const QDateTime from = installed.toLocalTime();
    const QDateTime to = now().toLocalTime();
    // Whole days: a day counts only once its time of day has come round again.
    qint64 days = from.date().daysTo(to.date());
    if (days > 0 && from.addDays(days) > to)
        --days;
    else if (days < 0 && from.addDays(days) < to)
        ++days;
    return static_cast<int>(days);
}

void MailingListManager::snooze()
{
    const QDateTime current = now();
    QDateTime until = current.addDays(kSnoozeDays);
    if (!until.isValid())
        until = current;
    {
        const auto store = sharedStore();
        store->setValue(kDecisionKey, decisionName(Decision::Snoozed));
        store->setValue(kSnoozeUntilKey, until);
    }
    setIsPresented(false);
}

void MailingListManager::decline()
{
    storeDecision(Decision::Declined);
    setOptedOut(true);
    setIsPresented(false);
}

QString MailingListManager::systemLocaleName()
{
    // The precedence of the C library's message locale, which the system locale follows as well.
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString name = qEnvironmentVariable(variable);
        if (!name.isEmpty())
            return name;
    }
    return {};
}

QJsonObject MailingListManager::requestBody(const QString& trimmedEmail, const QString& appId,
                                            const QString& timeZoneId, const QString& localeName)
{
    QJsonObject body{
        {QStringLiteral("email"), trimmedEmail},
        {QStringLiteral("app"), appId},
        {QStringLiteral("tz"), timeZoneId},
    };
    // Only a territory the locale name states counts: QLocale fills in a likely one ("de" becomes de_DE), which
    // would name the country of most speakers of the language rather than the user's.
    const QString bare = localeName.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
    const QStringList parts = bare.split(QRegularExpression(QStringLiteral("[_-]")));
    QLocale::Territory territory = QLocale::AnyTerritory;
    for (qsizetype i = 1; i < parts.size() && territory == QLocale::AnyTerritory; ++i)
        territory = QLocale::codeToTerritory(parts[i]);
    if (territory != QLocale::AnyTerritory) {
        // territoryToString() gives the English name; the code stands in for a territory without one.
        QString country = QLocale::territoryToString(territory);
        if (country.isEmpty())
            country = QLocale::territoryToCode(territory);
        body.insert(QStringLiteral("country"), country);
    }
    return body;
}

void MailingListManager::submit(const QString& email)
{
    // QString::trimmed() removes line breaks along with other white space.
    const QString trimmed = email.trimmed();
    if (trimmed.isEmpty() || !trimmed.contains(QLatin1Char('@'))) {
        setStatus(failure(QStringLiteral("Please enter a valid email address.")));
        return;
    }
    setStatus({SubmitStatus::Kind::Submitting, {}});

    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    QNetworkRequest request(m_environment.endpoint);
    request.setTransferTimeout(int(m_environment.transferTimeout.count()));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    if (!m_environment.secret.isEmpty())
        request.setRawHeader(QByteArrayLiteral("X-App-Secret"), m_environment.secret);
    const QJsonObject body =
        requestBody(trimmed, m_environment.appId, QString::fromUtf8(QTimeZone::systemTimeZoneId()), systemLocaleName());
    QNetworkReply* reply = m_network->post(request, QJsonDocument(body).toJson(QJsonDocument::Compact));
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        const QVariant statusAttribute = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        // A transfer that broke after a success status confirms nothing, so it is a failure like any other.
        // An HTTP error status also sets reply->error(); that one is judged by its code below.
        if (ReplyChecks::transferFailed(*reply)) {
            setStatus(failure(reply->errorString()));
            return;
        }
        const int code = statusAttribute.toInt();
        if ((code >= 200 && code <= 299) || code == 409) {
            storeDecision(Decision::Subscribed);
            setOptedOut(true);
            setStatus({SubmitStatus::Kind::Success, {}});
        } else if (code == 422) {
            setStatus(failure(QStringLiteral("Please check your email address and try again.")));
        } else {
            setStatus(failure(QStringLiteral("Server returned %1. Please try again later.").arg(code)));
        }
    });
}
