#include "app/AboutDialog.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("About Brackwell"));
    m_summary = new QLabel(tr("<b>Brackwell</b> %1<br>A viewer and editor for JSON documents.<br><br>"
                              "MIT License<br>Copyright © The Brackwell developers")
                               .arg(QStringLiteral(BRACKWELL_VERSION)),
                           this);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_noticesButton = buttons->addButton(tr("Third-Party Notices…"), QDialogButtonBox::ActionRole);
    connect(m_noticesButton, &QPushButton::clicked, this, &AboutDialog::showNotices);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(buttons);
}

QString AboutDialog::thirdPartyNotices()
{
    QFile file(QStringLiteral(":/brackwell/THIRD-PARTY.md"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

void AboutDialog::showNotices()
{
    if (!m_notices) {
        m_notices = new QDialog(this);
        m_notices->setWindowTitle(tr("Third-Party Notices"));
        m_notices->resize(720, 560);
        m_noticesView = new QTextBrowser(m_notices);
        m_noticesView->setOpenExternalLinks(true);
        m_noticesView->setMarkdown(thirdPartyNotices());
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, m_notices);
        connect(buttons, &QDialogButtonBox::rejected, m_notices, &QDialog::reject);
        auto* layout = new QVBoxLayout(m_notices);
        layout->addWidget(m_noticesView);
        layout->addWidget(buttons);
    }
    m_notices->show();
    m_notices->raise();
    m_notices->activateWindow();
}
