#include "app/findreplace/FindReplaceDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

FindReplaceDialog::FindReplaceDialog(QWidget* window) : QDialog(window)
{
    setWindowTitle(tr("Find & Replace"));
    setWindowModality(Qt::WindowModal);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    resize(400, 170);

    auto* grid = new QGridLayout(this);
    auto* findLabel = new QLabel(tr("Find:"), this);
    findLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_find = new QLineEdit(this);
    m_find->setAccessibleName(tr("Find"));
    findLabel->setBuddy(m_find);
    auto* replaceLabel = new QLabel(tr("Replace:"), this);
    replaceLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_replace = new QLineEdit(this);
    m_replace->setAccessibleName(tr("Replace"));
    replaceLabel->setBuddy(m_replace);
    m_case = new QCheckBox(tr("Case sensitive"), this);
    m_case->setChecked(true);
    m_keys = new QCheckBox(tr("Include keys"), this);

    grid->addWidget(findLabel, 0, 0);
    grid->addWidget(m_find, 0, 1, 1, 2);
    grid->addWidget(replaceLabel, 1, 0);
    grid->addWidget(m_replace, 1, 1, 1, 2);
    grid->addWidget(m_case, 2, 1);
    grid->addWidget(m_keys, 2, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_cancel = new QPushButton(tr("Cancel"), this);
    m_replaceAll = new QPushButton(tr("Replace All"), this);
    // Return anywhere in the sheet runs Replace All; Escape rejects the dialog, which closes it.
    m_replaceAll->setDefault(true);
    m_replaceAll->setAutoDefault(true);
    m_cancel->setAutoDefault(false);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_replaceAll);
    grid->addLayout(buttons, 3, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);

    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_replaceAll, &QPushButton::clicked, this, &FindReplaceDialog::replaceAllRequested);
}
