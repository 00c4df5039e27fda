#include "app/outline/RowIcons.h"

#include <QHash>
#include <QPainter>
#include <QPixmap>

namespace {

// The icons are drawn once at start-up so they follow the palette's text colour and need no image plugin.
QPixmap draw(const QString& symbolName)
{
    constexpr int size = 32;
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(QColor(0x5a, 0x6b, 0x7d), 2.5);
    painter.setPen(pen);
    QFont font = painter.font();
    font.setPixelSize(22);
    font.setBold(true);
    painter.setFont(font);
    const QRectF box(2, 2, size - 4, size - 4);

    if (symbolName == QLatin1String("parentheses")) {
        painter.drawText(box, Qt::AlignCenter, QStringLiteral("( )"));
    } else if (symbolName == QLatin1String("curlybraces")) {
        painter.drawText(box, Qt::AlignCenter, QStringLiteral("{ }"));
    } else if (symbolName == QLatin1String("number")) {
        painter.drawText(box, Qt::AlignCenter, QStringLiteral("#"));
    } else if (symbolName == QLatin1String("lightswitch.on")) {
        painter.drawRoundedRect(QRectF(4, 10, 24, 12), 6, 6);
        painter.setBrush(pen.color());
        painter.drawEllipse(QPointF(22, 16), 4, 4);
    } else if (symbolName == QLatin1String("ellipsis.circle")) {
        painter.drawEllipse(box.adjusted(1, 1, -1, -1));
        painter.setBrush(pen.color());
        for (int x : {10, 16, 22})
            painter.drawEllipse(QPointF(x, 16), 1.5, 1.5);
    } else if (symbolName == QLatin1String("square.dotted")) {
        pen.setStyle(Qt::DotLine);
        painter.setPen(pen);
        painter.drawRect(QRectF(5, 5, 22, 22));
    } else {
        return {};
    }
    return pixmap;
}

} // namespace

QIcon RowIcons::icon(const QString& symbolName)
{
    static QHash<QString, QIcon> cache;
    if (symbolName.isEmpty())
        return {};
    auto found = cache.find(symbolName);
    if (found == cache.end()) {
        const QPixmap pixmap = draw(symbolName);
        found = cache.insert(symbolName, pixmap.isNull() ? QIcon() : QIcon(pixmap));
    }
    return *found;
}
