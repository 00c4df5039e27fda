#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>

class QNetworkAccessManager;

// What the updater shows the user. The window answers with message boxes; tests record the calls. Each call
// returns once the user has closed what it showed.
class UpdaterUi
{
public:
    virtual ~UpdaterUi() = default;
    virtual void showAvailable(const QString& version, const QUrl& downloadPage) = 0;
    virtual void showUpToDate(const QString& version) = 0;
    virtual void showError(const QString& message) = 0;
    virtual void showNotConfigured() = 0;
};

// A small updater: it reads a JSON feed ({"version": "1.2.0", "url": "https://…"}) and tells the user
// whether a newer Brackwell exists. Installing is left to the user's package manager or the download page.
class Updater : public QObject
{
    Q_OBJECT
public:
    // `feed` may be empty: then checking says that updates are not configured.
    Updater(const QUrl& feed, const QString& currentVersion, QObject* parent = nullptr);
    ~Updater() override;

    // The feed address built in, unless BRACKWELL_UPDATE_FEED_URL names another.
    static QUrl configuredFeed();
    // Negative, zero or positive as `a` is older than, the same as or newer than `b`; numbers compare per
    // dot-separated component (1.10 is newer than 1.9), missing components count as 0.
    static int compareVersions(const QString& a, const QString& b);

    void setUi(UpdaterUi* ui) { m_ui = ui; }
    // Ready at launch; checks only when asked.
    void start() { m_started = true; }
    bool isStarted() const { return m_started; }
    // A user-initiated check; its outcome is shown through the UI. A check under way is not started twice.
    void checkForUpdates();
    // True while a check or the dialog that reports it is under way.
    bool sessionInProgress() const { return m_sessionInProgress; }

signals:
    void checkFinished();

private:
    void finish(const std::function<void()>& show);

    QUrl m_feed;
    QString m_currentVersion;
    UpdaterUi* m_ui = nullptr;
    QNetworkAccessManager* m_network = nullptr;
    bool m_started = false;
    bool m_sessionInProgress = false;
};
