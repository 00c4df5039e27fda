#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// Edit → Go to Path…: a path in the jq, JSON Pointer, JSONPath or outline form. Stays open with its message when
// the path leads nowhere, so that the path can be corrected.
class GoToPathDialog : public QDialog
{
    Q_OBJECT
public:
    explicit GoToPathDialog(QWidget* window);

    QLineEdit* pathField() const { return m_path; }
    // Why the last path was not followed; hidden while there is nothing to say.
    QLabel* message() const { return m_message; }
    QPushButton* goButton() const { return m_go; }
    void showMessage(const QString& text);

signals:
    void goRequested(const QString& path);

private:
    QLineEdit* m_path;
    QLabel* m_message;
    QPushButton* m_go;
};
