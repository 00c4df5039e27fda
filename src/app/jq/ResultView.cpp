#include "app/jq/ResultView.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <cstring>

ResultView::ResultView(QWidget* parent) : QAbstractScrollArea(parent)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(12);
    setFont(font);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    setText(QByteArray());
}

void ResultView::setText(const QByteArray& utf8)
{
    m_text = utf8;
    m_lineStarts.clear();
    m_longestLine = 0;
    m_anchor = m_cursor = -1;
    // A trailing line feed ends the last line rather than starting an empty one.
    const char* begin = m_text.constData();
    const char* end = begin + m_text.size();
    const char* at = begin;
    while (at < end || m_lineStarts.empty()) {
        m_lineStarts.push_back(at - begin);
        const void* feed = std::memchr(at, '\n', size_t(end - at));
        const char* lineEnd = feed ? static_cast<const char*>(feed) : end;
        m_longestLine = std::max(m_longestLine, int(std::min<qsizetype>(lineEnd - at, 1 << 20)));
        if (!feed)
            break;
        at = lineEnd + 1;
    }
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    updateScrollBars();
    viewport()->update();
}

QString ResultView::line(int index) const
{
    if (index < 0 || index >= lineCount())
        return {};
    const qsizetype start = m_lineStarts[size_t(index)];
    qsizetype end = index + 1 < lineCount() ? m_lineStarts[size_t(index) + 1] - 1 : m_text.size();
    if (end > start && m_text.at(end - 1) == '\n')
        --end;
    return QString::fromUtf8(m_text.constData() + start, end - start);
}

QString ResultView::selectedText() const
{
    if (m_anchor < 0 || m_cursor < 0)
        return {};
    const int first = std::min(m_anchor, m_cursor);
    const int last = std::max(m_anchor, m_cursor);
    const qsizetype start = m_lineStarts[size_t(first)];
    qsizetype end = last + 1 < lineCount() ? m_lineStarts[size_t(last) + 1] - 1 : m_text.size();
    if (end > start && m_text.at(end - 1) == '\n')
        --end;
    return QString::fromUtf8(m_text.constData() + start, std::max<qsizetype>(0, end - start));
}

void ResultView::selectAll()
{
    m_anchor = 0;
    m_cursor = lineCount() - 1;
    viewport()->update();
}

void ResultView::copy() const
{
    const QString selected = selectedText();
    if (!selected.isEmpty())
        QGuiApplication::clipboard()->setText(selected);
}

int ResultView::lineHeight() const
{
    return fontMetrics().lineSpacing();
}

int ResultView::lineAt(int y) const
{
    const int line = verticalScrollBar()->value() + y / lineHeight();
    return std::clamp(line, 0, lineCount() - 1);
}

void ResultView::updateScrollBars()
{
    const int visible = std::max(1, viewport()->height() / lineHeight());
    verticalScrollBar()->setRange(0, std::max(0, lineCount() - visible));
    verticalScrollBar()->setPageStep(visible);
    verticalScrollBar()->setSingleStep(1);
    const int width = m_longestLine * fontMetrics().horizontalAdvance(QLatin1Char('0')) + 8;
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 4);
}

void ResultView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), palette().base());
    const int height = lineHeight();
    const int first = verticalScrollBar()->value();
    const int rows = viewport()->height() / height + 2;
    const int x = 4 - horizontalScrollBar()->value();
    const int selectedFirst = std::min(m_anchor, m_cursor);
    const int selectedLast = std::max(m_anchor, m_cursor);
    for (int row = 0; row < rows && first + row < lineCount(); ++row) {
        const int index = first + row;
        const QRect band(0, row * height, viewport()->width(), height);
        const bool selected = m_anchor >= 0 && index >= selectedFirst && index <= selectedLast;
        if (selected)
            painter.fillRect(band, palette().highlight());
        painter.setPen(selected ? palette().highlightedText().color() : palette().text().color());
        painter.drawText(QPoint(x, row * height + fontMetrics().ascent()), line(index));
    }
}

void ResultView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void ResultView::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        updateScrollBars();
}

void ResultView::mousePressEvent(QMouseEvent* event)
{
    const int line = lineAt(event->position().toPoint().y());
    if (!(event->modifiers() & Qt::ShiftModifier) || m_anchor < 0)
        m_anchor = line;
    m_cursor = line;
    viewport()->update();
}

void ResultView::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton) || m_anchor < 0)
        return;
    m_cursor = lineAt(event->position().toPoint().y());
    viewport()->update();
}

void ResultView::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        return;
    }
    if (event->matches(QKeySequence::Copy)) {
        copy();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}
