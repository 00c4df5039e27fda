#include "app/downloader/DownloaderPopover.h"

#include "net/HeaderEntry.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

DownloaderPopover::DownloaderPopover(QWidget* parent) : QFrame(parent, Qt::Popup)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    setAccessibleName(tr("Download from URL"));
    auto* layout = new QVBoxLayout(this);

    auto* urlRow = new QHBoxLayout;
    m_url = new QLineEdit(this);
    m_url->setPlaceholderText(QStringLiteral("https://example.com/data.json"));
    m_url->setAccessibleName(tr("URL"));
    m_load = new QPushButton(tr("Load"), this);
    m_load->setDefault(true);
    urlRow->addWidget(m_url, 1);
    urlRow->addWidget(m_load);
    layout->addLayout(urlRow);

    auto* methodRow = new QHBoxLayout;
    m_method = new QButtonGroup(this);
    auto* get = new QRadioButton(QStringLiteral("GET"), this);
    auto* post = new QRadioButton(QStringLiteral("POST"), this);
    get->setChecked(true);
    m_method->addButton(get, 0);
    m_method->addButton(post, 1);
    m_fold = new QToolButton(this);
    m_fold->setText(tr("Headers"));
    m_fold->setCheckable(true);
    m_fold->setArrowType(Qt::RightArrow);
    m_fold->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 0);
    m_progress->setMaximumWidth(100);
    m_progress->hide();
    methodRow->addWidget(get);
    methodRow->addWidget(post);
    methodRow->addStretch(1);
    methodRow->addWidget(m_progress);
    methodRow->addWidget(m_fold);
    layout->addLayout(methodRow);

    m_table = new QTableWidget(0, 2, this);
    m_table->setHorizontalHeaderLabels({tr("Name"), tr("Value")});
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->hide();
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    // The popup's height is set from outside (folded or not); the table takes what is left.
    m_table->setMinimumHeight(40);
    m_add = new QPushButton(QStringLiteral("+"), this);
    m_add->setAccessibleName(tr("Add header"));
    m_remove = new QPushButton(QStringLiteral("−"), this);
    m_remove->setAccessibleName(tr("Remove header"));
    auto* rowButtons = new QHBoxLayout;
    rowButtons->addWidget(m_add);
    rowButtons->addWidget(m_remove);
    rowButtons->addStretch(1);
    layout->addWidget(m_table, 1);
    layout->addLayout(rowButtons);
    setHeadersVisible(false);
    resize(440, foldedHeight);
    setFixedHeight(foldedHeight);

    connect(m_table, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (m_filling || item->row() >= m_headers.size())
            return;
        HeaderEntry* entry = m_headers.at(item->row());
        if (item->column() == 0)
            entry->setName(item->text());
        else
            entry->setValue(item->text());
    });
}

void DownloaderPopover::setHeaders(const QList<HeaderEntry*>& headers)
{
    m_headers = headers;
    m_filling = true;
    m_table->setRowCount(int(headers.size()));
    for (int row = 0; row < headers.size(); ++row) {
        m_table->setItem(row, 0, new QTableWidgetItem(headers.at(row)->name()));
        m_table->setItem(row, 1, new QTableWidgetItem(headers.at(row)->value()));
    }
    m_filling = false;
}

void DownloaderPopover::setHeadersVisible(bool visible)
{
    m_fold->setArrowType(visible ? Qt::DownArrow : Qt::RightArrow);
    m_table->setVisible(visible);
    m_add->setVisible(visible);
    m_remove->setVisible(visible);
}

void DownloaderPopover::showAt(QWidget* anchor)
{
    move(anchor->mapToGlobal(QPoint(0, anchor->height())));
    show();
    m_url->setFocus();
}

void DownloaderPopover::showEvent(QShowEvent* event)
{
    QFrame::showEvent(event);
    emit shown();
}

void DownloaderPopover::hideEvent(QHideEvent* event)
{
    QFrame::hideEvent(event);
    emit closed();
}
