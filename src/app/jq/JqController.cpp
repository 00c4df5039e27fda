#include "app/jq/JqController.h"

#include "app/MainWindow.h"
#include "app/Workspace.h"
#include "app/jq/JqPanel.h"
#include "app/jq/ResultView.h"
#include "app/menus/MenuText.h"
#include "jq/JqRecipes.h"
#include "jq/JqRun.h"
#include "model/Document.h"
#include "model/Log.h"
#include "model/TreeNode.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

namespace {

const QColor kGray(0x8e, 0x8e, 0x93);
const QColor kRed(0xff, 0x3b, 0x30);
const QColor kMint(0x00, 0xc7, 0xbe);

QString decodeUtf8(const QByteArray& bytes)
{
    // Output that is not UTF-8 is shown as nothing rather than as replacement characters.
    return QByteArrayView(bytes).isValidUtf8() ? QString::fromUtf8(bytes) : QString();
}

} // namespace

JqController::JqController(Workspace& workspace, QObject* parent) : QObject(parent), m_workspace(workspace) {}

QColor JqController::initialJqMessageColor()
{
    return kGray;
}

void JqController::setHasJQError(bool failed)
{
    m_hasJQError = failed;
    setJQmessageColor(failed ? kRed : kMint);
    if (!failed)
        setJQmessage(QStringLiteral("Query was successful"));
}

void JqController::setJQmessage(const QString& message)
{
    m_jqMessage = message;
    if (m_jqPanel) {
        m_jqPanel->statusLine()->setText(message);
        // Screen readers announce the label by its name; the status itself travels as its description.
        m_jqPanel->statusLine()->setAccessibleDescription(message);
    }
}

void JqController::setJQmessageColor(const QColor& color)
{
    m_jqMessageColor = color;
    if (m_jqPanel)
        m_jqPanel->statusLine()->setStyleSheet(QStringLiteral("color: %1;").arg(color.name()));
}

void JqController::setIsJQPanelShown(bool shown)
{
    if (m_isJQPanelShown == shown)
        return;
    m_isJQPanelShown = shown;
    emit isJQPanelShownChanged();
}

JqPanel* JqController::jqPanel()
{
    if (!m_jqPanel) {
        m_jqPanel = new JqPanel(&m_workspace.window());
        connect(m_jqPanel, &JqPanel::runRequested, this, &JqController::executeJQ);
        connect(m_jqPanel, &JqPanel::stopRequested, this, &JqController::stopJQ);
        connect(m_jqPanel, &JqPanel::closeRequested, this, &JqController::closeJQPanel);
        setJQmessage(m_jqMessage);
        setJQmessageColor(m_jqMessageColor);
    }
    return m_jqPanel;
}

void JqController::showJQPanel()
{
    setIsJQPanelShown(true);
    JqPanel* panel = jqPanel();
    if (!panel->recipeButton())
        connect(panel->installRecipeButton(), &QToolButton::clicked, this, &JqController::jqRecipeButtonClicked);
    panel->open();
    panel->commandField()->setFocus();
}

void JqController::closeJQPanel()
{
    setIsJQPanelShown(false);
    if (m_jqPanel && m_jqPanel->isVisible())
        m_jqPanel->hide();
}

QString JqController::jqProgram() const
{
    return m_jqProgram.isEmpty() ? JqRun::bundledJqPath() : m_jqProgram;
}

bool JqController::isRunningJQ() const
{
    return m_jqRun && m_jqRun->isRunning();
}

void JqController::failJQ(const QString& logText, const QString& message, const QString& result)
{
    BW_LOG_ERROR("executeJQ(_:)", logText);
    setHasJQError(true);
    setJQmessage(message);
    jqPanel()->resultView()->setText(result);
}

void JqController::executeJQ()
{
    const QString filter = jqPanel()->commandField()->text();
    if (isRunningJQ()) {
        // One jq at a time: this filter runs when the current run ends, in place of any that waited before.
        m_waitingJqFilter = filter;
        return;
    }
    startJQ(filter);
}

void JqController::startJQ(const QString& filter)
{
    JqPanel* panel = jqPanel();
    const QString program = jqProgram();
    if (!QFileInfo(program).isFile()) {
        failJQ(QStringLiteral("jq binary 'jq' not found in app bundle"),
               QStringLiteral("jq binary not found in app bundle"),
               QStringLiteral("Error: bundled jq binary 'jq' is missing."));
        return;
    }
    const auto text = m_workspace.root() ? m_workspace.root()->jsonText()
                                         : Result<QByteArray>(Error(Error::Code::NoContent, QString()));
    if (!text) {
        failJQ(QStringLiteral("Could not serialize current document for jq"),
               QStringLiteral("Could not serialize current document"),
               QStringLiteral("Error: no valid JSON loaded in the main window."));
        return;
    }

    if (!m_jqRun) {
        m_jqRun = new JqRun(this);
        connect(m_jqRun, &JqRun::finished, this, &JqController::jqFinished);
    }
    panel->setRunning(true);
    // Never busy: a run still going made the filter wait above.
    static_cast<void>(m_jqRun->start(program, filter, *text));
}

void JqController::stopJQ()
{
    m_waitingJqFilter.reset();
    if (!isRunningJQ())
        return;
    m_jqStopRequested = true;
    m_jqRun->stop();
}

void JqController::jqFinished(const JqRun::Outcome& outcome)
{
    JqPanel* panel = jqPanel();
    panel->setRunning(false);
    const bool succeeded = outcome.succeeded();
    if (std::exchange(m_jqStopRequested, false) && !succeeded) {
        // The user ended the run: nothing went wrong, and there is no result to show.
        panel->resultView()->setText(QString());
        m_hasJQError = false;
        setJQmessageColor(kGray);
        setJQmessage(QStringLiteral("Stopped"));
    } else if (outcome.ended == ChildProcess::Ended::NotStarted) {
        failJQ(QStringLiteral("Failed to run jq: ") + outcome.systemError, QStringLiteral("Failed to run jq"),
               QStringLiteral("Error launching jq: ") + outcome.systemError);
    } else if (succeeded) {
        panel->resultView()->setText(QByteArrayView(outcome.output).isValidUtf8() ? outcome.output : QByteArray());
        setHasJQError(false);
    } else {
        const QString errors = decodeUtf8(outcome.errors);
        // The log says "reason 1" for an exit and "reason 2" for a signal.
        const int reason = outcome.ended == ChildProcess::Ended::Crashed ? 2 : 1;
        BW_LOG_ERROR(
            "executeJQ(_:)",
            QStringLiteral("jq exited with status %1 (reason %2): %3").arg(outcome.status).arg(reason).arg(errors));
        panel->resultView()->setText(
            errors.isEmpty() ? QStringLiteral("jq exited with status %1 and no output.").arg(outcome.status) : errors);
        setHasJQError(true);
        setJQmessage(QStringLiteral("Something went wrong!"));
    }
    emit jqRunFinished();
    if (const std::optional<QString> waiting = std::exchange(m_waitingJqFilter, std::nullopt))
        startJQ(*waiting);
}

QMenu* JqController::makeJqRecipeMenu()
{
    auto* menu = new QMenu(QStringLiteral("jq Recipes"), jqPanel());
    menu->setTitle(QStringLiteral("jq Recipes"));
    auto addRecipe = [this](QMenu* into, const QString& title, const QString& templateText) {
        QAction* item = into->addAction(menuText(title));
        item->setData(templateText);
        connect(item, &QAction::triggered, this, [this, templateText] { jqRecipePicked(templateText); });
        return item;
    };
    const QStringList recent = JqRecipes::recentRecipes();
    if (!recent.isEmpty()) {
        menu->addAction(QStringLiteral("Recent"))->setEnabled(false);
        for (const QString& templateText : recent.mid(0, JqRecipes::maxRecentRecipes))
            addRecipe(menu, templateText, templateText);
        menu->addSeparator();
    }
    for (const JQRecipeGroup& group : JqRecipes::jqRecipeGroups()) {
        QMenu* submenu = menu->addMenu(menuText(group.title));
        submenu->setToolTipsVisible(true);
        for (const JQRecipe& recipe : group.recipes)
            addRecipe(submenu, recipe.title, recipe.templateText)->setToolTip(recipe.templateText);
    }
    return menu;
}

void JqController::jqRecipeButtonClicked()
{
    JqPanel* panel = jqPanel();
    QToolButton* button = panel->recipeButton();
    if (!button)
        return;
    if (m_jqRecipeMenu)
        m_jqRecipeMenu->deleteLater();
    m_jqRecipeMenu = makeJqRecipeMenu();
    m_jqRecipeMenu->popup(button->mapToGlobal(QPoint(0, button->height() + 2)));
}

void JqController::jqRecipePicked(const QString& templateText)
{
    QLineEdit* field = jqPanel()->commandField();
    field->setText(templateText);
    JqRecipes::recordRecent(templateText);
    field->setFocus();
    const JqRecipes::Selection selection = JqRecipes::placeholderSelection(templateText);
    if (selection.length > 0)
        field->setSelection(selection.start, selection.length);
    else
        field->setCursorPosition(selection.start);
}
