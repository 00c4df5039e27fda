#include "app/paths/GoToPathDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

GoToPathDialog::GoToPathDialog(QWidget* window) : QDialog(window)
{
    setWindowTitle(tr("Go to Path"));
    setWindowModality(Qt::WindowModal);
    resize(460, 120);

    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(tr("Path (jq, JSON Pointer, JSONPath or as Copy Path gives it):"), this);
    m_path = new QLineEdit(this);
    m_path->setAccessibleName(tr("Path"));
    m_path->setPlaceholderText(QStringLiteral(".a[\"b.c\"][2]   /a/b.c/2   $['a']['b.c'][2]"));
    label->setBuddy(m_path);
    m_message = new QLabel(this);
    m_message->setAccessibleName(tr("Go to Path Message"));
    QPalette palette = m_message->palette();
    palette.setColor(QPalette::WindowText, QColor(0xd0, 0x21, 0x21));
    m_message->setPalette(palette);
    m_message->hide();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    m_go = new QPushButton(tr("Go"), this);
    m_go->setDefault(true);
    cancel->setAutoDefault(false);
    buttons->addWidget(cancel);
    buttons->addWidget(m_go);

    layout->addWidget(label);
    layout->addWidget(m_path);
    layout->addWidget(m_message);
    layout->addLayout(buttons);

    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_go, &QPushButton::clicked, this, [this] { emit goRequested(m_path->text()); });
    connect(m_path, &QLineEdit::textEdited, this, [this] { m_message->hide(); });
}

void GoToPathDialog::showMessage(const QString& text)
{
    m_message->setText(text);
    m_message->setVisible(!text.isEmpty());
}
