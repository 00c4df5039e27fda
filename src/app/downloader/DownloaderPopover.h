#pragma once

#include <QFrame>
#include <QList>

class HeaderEntry;
class QButtonGroup;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QToolButton;

// The downloader: a popup under the window's download button with the URL, GET or POST, the foldable
// header rows and the load button. AppDelegate drives it and owns the header rows.
class DownloaderPopover : public QFrame
{
    Q_OBJECT
public:
    static constexpr int foldedHeight = 115;
    static constexpr int unfoldedHeight = 285;

    explicit DownloaderPopover(QWidget* parent = nullptr);

    QLineEdit* urlField() const { return m_url; }
    // The method choice: 0 is GET, anything else POST.
    QButtonGroup* methodGroup() const { return m_method; }
    QToolButton* headersButton() const { return m_fold; }
    QTableWidget* headerTable() const { return m_table; }
    QPushButton* addButton() const { return m_add; }
    QPushButton* removeButton() const { return m_remove; }
    QPushButton* loadButton() const { return m_load; }
    QProgressBar* progress() const { return m_progress; }

    // Shows the popup below `anchor`, keeping its current size.
    void showAt(QWidget* anchor);
    // Shows the rows and keeps edits in the table flowing back into them.
    void setHeaders(const QList<HeaderEntry*>& headers);
    void setHeadersVisible(bool visible);

signals:
    void shown();
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QLineEdit* m_url;
    QButtonGroup* m_method;
    QToolButton* m_fold;
    QTableWidget* m_table;
    QPushButton* m_add;
    QPushButton* m_remove;
    QPushButton* m_load;
    QProgressBar* m_progress;
    QList<HeaderEntry*> m_headers;
    bool m_filling = false;
};
