#pragma once

#include <QDialog>
#include <QPointer>

class QLabel;
class QPushButton;
class QTextBrowser;

// Help → About Brackwell: the version, the licence, and the notices of what Brackwell ships and links.
class AboutDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);

    // THIRD-PARTY.md, built into the program so that it is there wherever Brackwell runs from.
    static QString thirdPartyNotices();

    QLabel* summary() const { return m_summary; }
    QPushButton* noticesButton() const { return m_noticesButton; }
    // The notices' window once opened, else nullptr.
    QTextBrowser* noticesView() const { return m_noticesView; }

private:
    void showNotices();

    QLabel* m_summary;
    QPushButton* m_noticesButton;
    QPointer<QDialog> m_notices;
    QTextBrowser* m_noticesView = nullptr;
};
