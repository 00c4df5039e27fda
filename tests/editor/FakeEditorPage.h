#pragma once

// An editor page without a web engine: it records the scripts the window evaluates, answers them from a
// queue the test fills (or, with none queued, as the page would to pushes and notices, keeping the lines it
// would show), and delivers messages as if the page had posted them.

#include "editor/EditorPage.h"

#include <QByteArrayList>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QRegularExpression>
#include <QStringList>
#include <deque>
#include <optional>

class FakeEditorPage : public EditorPage
{
public:
    using EditorPage::EditorPage;

    void registerMessageHandler() override { ++handlerRegistrations; }
    void loadHtml(const QString& html, const QUrl& baseUrl) override
    {
        loadedHtml << html;
        baseUrls << baseUrl;
    }
    void runJavaScript(const QString& script, const ScriptCallback& callback) override
    {
        scripts << script;
        if (holdAnswers) {
            held.emplace_back(script, callback);
            return;
        }
        QVariant answer = defaultAnswer;
        if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
        } else if (std::optional<QVariant> shown = actsAsPage ? actAsPage(script) : std::nullopt) {
            answer = *shown;
        } else if (!actsAsPage && script.startsWith(QLatin1String("showPushedLines("))) {
            // Taken, and shown as the default answer says.
            reportShown(script, defaultAnswer);
            answer = true;
        }
        if (callback)
            callback(answer);
    }
    // Answers the scripts held back so far, oldest first, as the page would.
    void releaseAnswers()
    {
        std::deque<std::pair<QString, ScriptCallback>> pending;
        pending.swap(held);
        for (const auto& [script, callback] : pending) {
            const QVariant answer = actAsPage(script).value_or(defaultAnswer);
            if (callback)
                callback(answer);
        }
    }
    void post(const QJsonValue& body) { emit messageReceived(body); }
    void finishLoading(bool ok = true) { emit loadFinished(ok); }
    // The scripts that showed pushed lines.
    QStringList pushes() const { return scripts.filter(QStringLiteral("showPushedLines(")); }
    // The text the page would show after the pushes and notices it answered.
    QByteArray shownText() const { return shownLines.join('\n'); }

    // Shows the lines staged for a showPushedLines() call as the page would: true when shown, false when made
    // against a version no longer shown, invalid when the lines staged are not the ones announced.
    QVariant showLines(const QRegularExpressionMatch& match)
    {
        const qsizetype added = match.captured(5).toLongLong();
        const QByteArrayList inserted = added > 0 ? std::exchange(staged, {}) : QByteArrayList();
        staged.clear();
        const bool whole = match.captured(1) == QLatin1String("null");
        if (!whole && (match.captured(1).toLongLong() != shownVersion || typedSinceShown))
            return false;
        if (inserted.size() != added)
            return QVariant();
        if (whole) {
            shownLines = inserted.isEmpty() ? QByteArrayList{QByteArray()} : inserted;
        } else {
            const qsizetype from = match.captured(3).toLongLong();
            shownLines.remove(from, match.captured(4).toLongLong());
            for (qsizetype i = 0; i < inserted.size(); ++i)
                shownLines.insert(from + i, inserted[i]);
        }
        shownVersion = match.captured(2).toLongLong();
        typedSinceShown = false;
        return true;
    }

    // The page's "pushShown" message for a showPushedLines() call, posted from the event loop as the page would.
    void reportShown(const QString& script, const QVariant& shown)
    {
        static const QRegularExpression version(QStringLiteral(R"(^showPushedLines\([^,]+, (-?\d+),)"));
        QJsonObject message{{QStringLiteral("cmd"), QStringLiteral("pushShown")},
                            {QStringLiteral("version"), version.match(script).captured(1).toDouble()},
                            {QStringLiteral("content"), QJsonValue::fromVariant(shown)}};
        const QString body = QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact));
        QMetaObject::invokeMethod(this, [this, body] { post(body); }, Qt::QueuedConnection);
    }

    // What the page does with a push or a notice; nothing for other scripts.
    std::optional<QVariant> actAsPage(const QString& script)
    {
        static const QRegularExpression stage(QStringLiteral(R"(^stagePushedLines\('([^']*)', (true|false)\)$)"));
        static const QRegularExpression show(QStringLiteral(R"(^showPushedLines\((null|-?\d+), (-?\d+), (\d+), (-?\d+), (\d+)\)$)"));
        if (const QRegularExpressionMatch match = stage.match(script); match.hasMatch()) {
            std::optional<QByteArray> text = takeOfferedText(match.captured(1).mid(pageOrigin().size()));
            if (!text)
                return QVariant(); // the page's fetch fails
            if (match.captured(2) == QLatin1String("true"))
                staged.clear();
            staged += text->split('\n');
            return true;
        }
        if (const QRegularExpressionMatch match = show.match(script); match.hasMatch()) {
            reportShown(script, showLines(match));
            return true;
        }
        if (script.startsWith(QLatin1String("showNotice("))) {
            shownLines = {QByteArray()};
            shownVersion = 0;
            staged.clear();
            return true;
        }
        return std::nullopt;
    }

    int handlerRegistrations = 0;
    QStringList loadedHtml;
    QList<QUrl> baseUrls;
    QStringList scripts;
    std::deque<QVariant> answers;
    // The answer once the queue is empty; invalid, as from a script that failed, unless set.
    QVariant defaultAnswer;
    bool holdAnswers = false;
    // Answer pushes and notices as the page would, rather than with defaultAnswer.
    bool actsAsPage = true;
    // What the page shows, and the version the window gave it; typing there makes the version stale.
    QByteArrayList shownLines{QByteArray()};
    QByteArrayList staged;
    qint64 shownVersion = 0;
    bool typedSinceShown = false;
    std::deque<std::pair<QString, ScriptCallback>> held;
};
