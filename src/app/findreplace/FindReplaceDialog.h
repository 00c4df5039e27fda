#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

// The Find & Replace sheet: what to find, what to put instead, and the two options. Built once and kept, so
// the fields and options keep their last contents. Return runs Replace All, Escape closes it.
class FindReplaceDialog : public QDialog
{
    Q_OBJECT
public:
    explicit FindReplaceDialog(QWidget* window);

    QLineEdit* findField() const { return m_find; }
    QLineEdit* replaceField() const { return m_replace; }
    QCheckBox* caseCheck() const { return m_case; }
    QCheckBox* keysCheck() const { return m_keys; }
    QPushButton* replaceAllButton() const { return m_replaceAll; }
    QPushButton* cancelButton() const { return m_cancel; }

signals:
    void replaceAllRequested();

private:
    QLineEdit* m_find;
    QLineEdit* m_replace;
    QCheckBox* m_case;
    QCheckBox* m_keys;
    QPushButton* m_cancel;
    QPushButton* m_replaceAll;
};
