#pragma once

#include "jq/JqRun.h"

#include <QColor>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <optional>

class JqPanel;
class Workspace;

// The jq panel: running a filter over the document with the bundled jq, its status line, and the recipe menu.
class JqController : public QObject
{
    Q_OBJECT
public:
    explicit JqController(Workspace& workspace, QObject* parent = nullptr);

    bool isJQPanelShown() const { return m_isJQPanelShown; }
    bool hasJQError() const { return m_hasJQError; }
    // Also sets the status colour, and for a success the message.
    void setHasJQError(bool failed);
    QString JQmessage() const { return m_jqMessage; }
    void setJQmessage(const QString& message);
    QColor JQmessageColor() const { return m_jqMessageColor; }
    void setJQmessageColor(const QColor& color);
    static QColor initialJqMessageColor();

    void showJQPanel();
    void closeJQPanel();
    // Runs the panel's filter over the document; the window stays responsive until jq ends. Asked again while
    // jq runs, it runs the filter then in the field once the current run has ended (only the latest one waits).
    void executeJQ();
    // Ends the current run and drops the one waiting for it.
    void stopJQ();
    bool isRunningJQ() const;
    void jqRecipeButtonClicked();
    void jqRecipePicked(const QString& templateText);
    JqPanel* jqPanel();
    QMenu* jqRecipeMenu() const { return m_jqRecipeMenu; }
    // The jq executable; the bundled one unless set (tests use stand-ins).
    QString jqProgram() const;
    void setJqProgram(const QString& program) { m_jqProgram = program; }

signals:
    void isJQPanelShownChanged();
    void jqRunFinished();

private:
    void setIsJQPanelShown(bool shown);
    void failJQ(const QString& logText, const QString& message, const QString& result);
    void startJQ(const QString& filter);
    void jqFinished(const JqRun::Outcome& outcome);
    QMenu* makeJqRecipeMenu();

    Workspace& m_workspace;
    bool m_isJQPanelShown = false;
    bool m_hasJQError = false;
    QString m_jqMessage = QStringLiteral("Enter a command to see the results");
    QColor m_jqMessageColor = initialJqMessageColor();
    JqPanel* m_jqPanel = nullptr;
    JqRun* m_jqRun = nullptr;
    std::optional<QString> m_waitingJqFilter;
    bool m_jqStopRequested = false;
    QPointer<QMenu> m_jqRecipeMenu;
    QString m_jqProgram;
};
