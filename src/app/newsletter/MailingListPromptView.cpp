#include "app/newsletter/MailingListPromptView.h"

#include "newsletter/MailingListManager.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

using Kind = MailingListManager::SubmitStatus::Kind;

QLabel* secondaryText(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    QPalette colours = label->palette();
    colours.setColor(QPalette::WindowText, colours.color(QPalette::PlaceholderText));
    label->setPalette(colours);
    return label;
}

} // namespace

MailingListPromptView::MailingListPromptView(MailingListManager& manager, QWidget* window)
    : QDialog(window, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_manager(manager)
{
    setWindowModality(Qt::WindowModal);
    setFixedWidth(420);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(16);

    auto* title = new QLabel(tr("Stay in the loop"), this);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    titleFont.setBold(true);
    title->setFont(titleFont);
    column->addWidget(title);
    column->addWidget(secondaryText(
        tr("Occasional offers, news, and updates about new features.\nNo spam — I absolutely promise."), this));

    m_screens = new QStackedWidget(this);
    // The form.
    auto* form = new QWidget(m_screens);
    auto* formColumn = new QVBoxLayout(form);
    formColumn->setContentsMargins(0, 0, 0, 0);
    formColumn->setSpacing(10);
    m_email = new QLineEdit(form);
    m_email->setPlaceholderText(QStringLiteral("you@example.com"));
    m_email->setAccessibleName(tr("Email address"));
    m_failure = new QLabel(form);
    m_failure->setStyleSheet(QStringLiteral("color: red;"));
    m_failure->setWordWrap(true);
    m_failure->hide();
    auto* buttons = new QHBoxLayout;
    m_decline = new QPushButton(tr("Don't ask again"), form);
    m_decline->setFlat(true);
    m_decline->setAutoDefault(false);
    m_snooze = new QPushButton(tr("Maybe later"), form);
    m_snooze->setAutoDefault(false);
    m_subscribe = new QPushButton(tr("Subscribe"), form);
    m_subscribe->setMinimumWidth(80);
    m_subscribe->setDefault(true);
    m_subscribe->setEnabled(false);
    buttons->addWidget(m_decline);
    buttons->addStretch(1);
    buttons->addWidget(m_snooze);
    buttons->addWidget(m_subscribe);
    formColumn->addWidget(m_email);
    formColumn->addWidget(m_failure);
    formColumn->addLayout(buttons);
    m_screens->addWidget(form);
    // Progress: the form is gone, so nothing can be pressed while the request runs.
    auto* progress = new QWidget(m_screens);
    auto* progressColumn = new QVBoxLayout(progress);
    progressColumn->setContentsMargins(0, 30, 0, 30);
    auto* busy = new QProgressBar(progress);
    busy->setRange(0, 0);
    busy->setAccessibleName(tr("Subscribing"));
    progressColumn->addWidget(busy);
    m_screens->addWidget(progress);
    // The confirmation.
    auto* confirmation = new QWidget(m_screens);
    auto* confirmationColumn = new QVBoxLayout(confirmation);
    confirmationColumn->setContentsMargins(0, 6, 0, 6);
    confirmationColumn->setSpacing(20);
    auto* done = new QLabel(QStringLiteral("✔ ") + tr("You're in!"), confirmation);
    done->setStyleSheet(QStringLiteral("color: green; font-weight: bold;"));
    done->setAlignment(Qt::AlignCenter);
    auto* thanks = new QLabel(tr("Thanks for subscribing."), confirmation);
    thanks->setAlignment(Qt::AlignCenter);
    m_done = new QPushButton(tr("Done"), confirmation);
    confirmationColumn->addWidget(done);
    confirmationColumn->addWidget(thanks);
    confirmationColumn->addWidget(m_done, 0, Qt::AlignCenter);
    m_screens->addWidget(confirmation);
    column->addWidget(m_screens);

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    column->addWidget(divider);
    const QUrl endpoint = MailingListManager::productionEnvironment().endpoint;
    if (endpoint.isValid() && !endpoint.host().isEmpty()) {
        QUrl privacy;
        privacy.setScheme(endpoint.scheme());
        privacy.setHost(endpoint.host());
        privacy.setPort(endpoint.port());
        privacy.setPath(QStringLiteral("/privacy/"));
        auto* link =
            new QLabel(QStringLiteral("<a href=\"%1\">%2</a>").arg(privacy.toString(), tr("Privacy policy")), this);
        link->setOpenExternalLinks(true);
        column->addWidget(link);
    }
    column->addWidget(secondaryText(tr("You can unsubscribe any time."), this));

    m_dismiss = new QTimer(this);
    m_dismiss->setSingleShot(true);
    m_dismiss->setInterval(autoDismissMs);
    connect(m_dismiss, &QTimer::timeout, this, [this] { m_manager.setIsPresented(false); });

    // A text of only spaces counts as typed: the manager explains why it is not an address.
    connect(m_email, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_subscribe->setEnabled(!text.isEmpty()); });
    connect(m_decline, &QPushButton::clicked, this, [this] { m_manager.decline(); });
    connect(m_snooze, &QPushButton::clicked, this, [this] { m_manager.snooze(); });
    connect(m_subscribe, &QPushButton::clicked, this, [this] {
        if (!m_email->text().isEmpty())
            m_manager.submit(m_email->text());
    });
    connect(m_done, &QPushButton::clicked, this, [this] { m_manager.setIsPresented(false); });
    connect(&m_manager, &MailingListManager::statusChanged, this, &MailingListPromptView::followStatus);
}

int MailingListPromptView::currentScreen() const
{
    return m_screens->currentIndex();
}

bool MailingListPromptView::dismissalPending() const
{
    return m_dismiss->isActive();
}

void MailingListPromptView::showEvent(QShowEvent* event)
{
    // Every presentation starts afresh, even after a failure earlier in the run.
    m_email->clear();
    m_manager.setStatus({});
    followStatus();
    QDialog::showEvent(event);
    m_email->setFocus();
}

void MailingListPromptView::followStatus()
{
    const MailingListManager::SubmitStatus status = m_manager.status();
    const int screen = status.kind == Kind::Submitting ? 1 : status.kind == Kind::Success ? 2 : 0;
    m_failure->setVisible(status.kind == Kind::Failure);
    m_failure->setText(status.message);
    if (screen == 2 && m_screens->currentIndex() != 2)
        m_dismiss->start();
    else if (screen != 2)
        m_dismiss->stop();
    m_screens->setCurrentIndex(screen);
    if (screen == 2)
        m_done->setDefault(true);
    else
        m_subscribe->setDefault(true);
}
