#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QLocale>
#include <QObject>
#include <QString>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>

class QNetworkAccessManager;
class QSettings;

// Decides when to invite the user to the newsletter, remembers the answer and sends the subscription. The
// answer lives in a settings file shared by all of our applications, so that someone who subscribed or declined
// in one of them is not asked again in another; launch bookkeeping stays with each application. No user
// interface here: the prompt and the application controller observe the properties.
class MailingListManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isPresented READ isPresented WRITE setIsPresented NOTIFY isPresentedChanged)
    Q_PROPERTY(bool isOptedOut READ isOptedOut NOTIFY isOptedOutChanged)
public:
    struct SubmitStatus
    {
        enum class Kind { Idle, Submitting, Success, Failure };
        Kind kind = Kind::Idle;
        QString message; // only for Failure
        bool operator==(const SubmitStatus&) const = default;
    };
    enum class Decision { None, Snoozed, Declined, Subscribed };

    struct Environment
    {
        QString sharedSettingsPath; // empty or unwritable: every key goes to the application's file
        QString appSettingsPath;
        QString appId;                  // empty stands for "unknown.app"
        std::function<QDateTime()> now; // empty uses the wall clock
        QUrl endpoint;
        QByteArray secret; // empty leaves out the X-App-Secret header
        std::chrono::milliseconds transferTimeout{60 * 1000};
    };

    // Created on first use with the production environment and never released.
    static MailingListManager& shared();
    explicit MailingListManager(Environment environment, QObject* parent = nullptr);
    ~MailingListManager() override;

    // The files, identifier and service built in; BRACKWELL_NEWSLETTER_ENDPOINT and BRACKWELL_NEWSLETTER_SECRET
    // in the environment override the service.
    static Environment productionEnvironment();

    bool isPresented() const { return m_isPresented; }
    void setIsPresented(bool presented);
    // Read from the stored decision once, at construction, and set by decline() and a successful subscription.
    bool isOptedOut() const { return m_isOptedOut; }
    SubmitStatus status() const { return m_status; }
    void setStatus(const SubmitStatus& status);
    // The stored decision; anything unrecognised reads as None.
    Decision decision() const;

    // Consulted by the automatic check only; the controller defers the prompt while an update is under way.
    void setShouldDeferPrompt(std::function<bool()> predicate);

    // Once per process: records the launch and runs presentIfEligible() 2.5 s later.
    void registerLaunch();
    // The automatic check: needs a decision of None (or a lapsed snooze), no deferral, and at least three launches
    // or two days since installation.
    void presentIfEligible();
    // The menu command: presents unless the user has declined or subscribed.
    void presentOnRequest();
    void snooze();
    void decline();
    // Asynchronous; the outcome is the new status.
    void submit(const QString& email);

    // Whole days from the stored install date to now; 0 without one.
    int daysSinceInstall() const;

    // The body of the subscription request; "country" only when the locale name (de_DE.UTF-8, not de) names
    // a territory.
    static QJsonObject requestBody(const QString& trimmedEmail, const QString& appId, const QString& timeZoneId,
                                   const QString& localeName);
    // The user's locale name as the environment gives it (LC_ALL, LC_MESSAGES, then LANG).
    static QString systemLocaleName();

signals:
    void isPresentedChanged();
    void isOptedOutChanged();
    void statusChanged();

private:
    std::unique_ptr<QSettings> sharedStore() const;
    std::unique_ptr<QSettings> appStore() const;
    QString appKey(const QString& suffix) const;
    QDateTime now() const;
    void present();
    void setOptedOut(bool optedOut);
    void storeDecision(Decision decision);

    Environment m_environment;
    std::function<bool()> m_shouldDeferPrompt;
    QNetworkAccessManager* m_network = nullptr;
    SubmitStatus m_status;
    bool m_isPresented = false;
    bool m_isOptedOut = false;
};
