#include "app/jq/JqPanel.h"

#include "app/jq/ResultView.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int kRecipeButtonWidth = 26;
constexpr int kRecipeButtonHeight = 20;

} // namespace

JqPanel::JqPanel(QWidget* window) : QDialog(window)
{
    setWindowTitle(tr("JQ Panel"));
    setWindowModality(Qt::WindowModal);
    resize(720, 520);

    auto* layout = new QVBoxLayout(this);
    auto* commandRow = new QHBoxLayout;
    m_command = new QLineEdit(this);
    m_command->setAccessibleName(tr("jq filter"));
    m_command->setPlaceholderText(tr("jq filter, for example .items[0]"));
    m_command->installEventFilter(this);
    m_run = new QPushButton(tr("Run"), this);
    m_stop = new QPushButton(tr("Stop"), this);
    m_stop->setEnabled(false);
    commandRow->addWidget(m_command, 1);
    commandRow->addWidget(m_run);
    commandRow->addWidget(m_stop);
    layout->addLayout(commandRow);

    m_result = new ResultView(this);
    m_result->setAccessibleName(tr("jq result"));
    layout->addWidget(m_result, 1);

    auto* statusRow = new QHBoxLayout;
    m_status = new QLabel(this);
    m_status->setAccessibleName(tr("jq status"));
    m_busy = new QProgressBar(this);
    m_busy->setRange(0, 0);
    m_busy->setMaximumWidth(120);
    m_busy->hide();
    m_close = new QPushButton(tr("Close"), this);
    m_close->setAutoDefault(false);
    statusRow->addWidget(m_status, 1);
    statusRow->addWidget(m_busy);
    statusRow->addWidget(m_close);
    layout->addLayout(statusRow);

    // Return in the filter runs it; the buttons must not also take Return as the dialog's default.
    m_run->setAutoDefault(false);
    m_stop->setAutoDefault(false);
    connect(m_command, &QLineEdit::returnPressed, this, &JqPanel::runRequested);
    connect(m_run, &QPushButton::clicked, this, &JqPanel::runRequested);
    connect(m_stop, &QPushButton::clicked, this, &JqPanel::stopRequested);
    connect(m_close, &QPushButton::clicked, this, &JqPanel::closeRequested);
    connect(this, &QDialog::rejected, this, &JqPanel::closeRequested);
}

QToolButton* JqPanel::installRecipeButton()
{
    if (m_recipeButton)
        return m_recipeButton;
    m_recipeButton = new QToolButton(m_command);
    m_recipeButton->setText(QStringLiteral("\u2304"));
    m_recipeButton->setToolTip(tr("Insert jq recipe"));
    m_recipeButton->setAccessibleName(tr("Insert jq recipe"));
    m_recipeButton->setAutoRaise(true);
    m_recipeButton->setCursor(Qt::ArrowCursor);
    QFont font = m_recipeButton->font();
    font.setPointSize(12);
    font.setWeight(QFont::DemiBold);
    m_recipeButton->setFont(font);
    m_recipeButton->setFixedSize(kRecipeButtonWidth, kRecipeButtonHeight);
    // Typed text stops short of the button.
    m_command->setTextMargins(0, 0, kRecipeButtonWidth + 2, 0);
    m_recipeButton->show();
    placeRecipeButton();
    return m_recipeButton;
}

void JqPanel::placeRecipeButton()
{
    if (!m_recipeButton)
        return;
    m_recipeButton->move(m_command->width() - kRecipeButtonWidth - 2, (m_command->height() - kRecipeButtonHeight) / 2);
}

bool JqPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_command && event->type() == QEvent::Resize)
        placeRecipeButton();
    return QDialog::eventFilter(watched, event);
}

void JqPanel::setRunning(bool running)
{
    // Run stays enabled: asked while jq runs, it queues the filter for when the run ends.
    m_stop->setEnabled(running);
    m_busy->setVisible(running);
}
