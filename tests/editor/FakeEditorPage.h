#pragma once

// An editor page without a web engine: it records the scripts the window evaluates, answers them from a
// queue the test fills, and delivers messages as if the page had posted them.

#include "editor/EditorPage.h"

#include <QList>
#include <QStringList>
#include <deque>

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
            held.push_back(callback);
            return;
        }
        QVariant answer = defaultAnswer;
        if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
        }
        if (callback)
            callback(answer);
    }
    // Answers the scripts held back so far, oldest first.
    void releaseAnswers()
    {
        std::deque<ScriptCallback> pending;
        pending.swap(held);
        for (const ScriptCallback& callback : pending)
            if (callback)
                callback(QVariant());
    }
    void post(const QJsonValue& body) { emit messageReceived(body); }
    void finishLoading(bool ok = true) { emit loadFinished(ok); }
    // The scripts that pushed text with updateContent.
    QStringList pushes() const { return scripts.filter(QStringLiteral("updateContent('")); }

    int handlerRegistrations = 0;
    QStringList loadedHtml;
    QList<QUrl> baseUrls;
    QStringList scripts;
    std::deque<QVariant> answers;
    // The answer once the queue is empty; invalid, as from a script that failed, unless set.
    QVariant defaultAnswer;
    bool holdAnswers = false;
    std::deque<ScriptCallback> held;
};
