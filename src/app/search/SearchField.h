#pragma once

#include <QLineEdit>

class QMenu;

// The search field above the outline: a line edit whose magnifier opens the recent-search menu, and which
// reports when the user starts editing so that the menu can be rebuilt.
class SearchField : public QLineEdit
{
    Q_OBJECT
public:
    explicit SearchField(QWidget* parent = nullptr);

    // The drop-down menu (not owned); replaces the previous one.
    void setSearchMenu(QMenu* menu);
    QMenu* searchMenu() const { return m_menu; }
    // Shows the error state: red text and the tooltip, or the default look for an empty message.
    void showError(const QString& tooltip);
    bool showsError() const { return m_showsError; }

signals:
    void editingBegan();

protected:
    void focusInEvent(QFocusEvent* event) override;

private:
    QMenu* m_menu = nullptr;
    QAction* m_menuAction = nullptr;
    bool m_showsError = false;
    QPalette m_normalPalette;
};
