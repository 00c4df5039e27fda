#pragma once

#include <QAbstractScrollArea>
#include <QByteArray>
#include <vector>

// A read-only view of a long text, such as jq's result of a large document: the UTF-8 bytes are kept as they
// are, with the start of every line, and only the lines on screen are decoded and drawn. Lines are selected
// whole (click, Shift+click, drag, Ctrl+A) and copied with Ctrl+C.
class ResultView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    explicit ResultView(QWidget* parent = nullptr);

    // Replaces the whole text.
    void setText(const QByteArray& utf8);
    void setText(const QString& text) { setText(text.toUtf8()); }
    QString text() const { return QString::fromUtf8(m_text); }
    int lineCount() const { return int(m_lineStarts.size()); }
    QString line(int index) const;

    // The selected lines, joined by line feeds; empty without a selection.
    QString selectedText() const;
    void selectAll();
    void copy() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int lineHeight() const;
    int lineAt(int y) const;
    void updateScrollBars();

    QByteArray m_text;
    std::vector<qsizetype> m_lineStarts;
    int m_longestLine = 0; // in bytes, enough to size the horizontal scroll range of a monospaced font
    int m_anchor = -1;
    int m_cursor = -1;
};
