#include "app/search/SearchField.h"

#include <QAction>
#include <QFocusEvent>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>

namespace {

QIcon magnifierIcon(const QPalette& palette)
{
    QIcon themed = QIcon::fromTheme(QStringLiteral("edit-find"));
    if (!themed.isNull())
        return themed;
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette.color(QPalette::PlaceholderText), 3));
    painter.drawEllipse(QRectF(5, 5, 16, 16));
    painter.drawLine(QPointF(19, 19), QPointF(27, 27));
    return QIcon(pixmap);
}

} // namespace

SearchField::SearchField(QWidget* parent) : QLineEdit(parent)
{
    m_normalPalette = palette();
    setPlaceholderText(tr("Search"));
    setAccessibleName(tr("Search"));
    setClearButtonEnabled(true);
    m_menuAction = addAction(magnifierIcon(palette()), LeadingPosition);
    m_menuAction->setToolTip(tr("Recent Searches"));
    connect(m_menuAction, &QAction::triggered, this, [this] {
        if (m_menu)
            m_menu->popup(mapToGlobal(QPoint(0, height())));
    });
}

void SearchField::setSearchMenu(QMenu* menu)
{
    m_menu = menu;
}

void SearchField::showError(const QString& tooltip)
{
    m_showsError = !tooltip.isEmpty();
    setToolTip(tooltip);
    if (!m_showsError) {
        setPalette(m_normalPalette);
        return;
    }
    QPalette colours = m_normalPalette;
    colours.setColor(QPalette::Active, QPalette::Text, Qt::red);
    colours.setColor(QPalette::Inactive, QPalette::Text, Qt::red);
    setPalette(colours);
}

void SearchField::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    emit editingBegan();
}
