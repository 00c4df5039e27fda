#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QToolButton;
class ResultView;

// The jq panel: the filter, Run and Stop, the result and a status line. AppDelegate drives it.
class JqPanel : public QDialog
{
    Q_OBJECT
public:
    explicit JqPanel(QWidget* window);

    QLineEdit* commandField() const { return m_command; }
    ResultView* resultView() const { return m_result; }
    QLabel* statusLine() const { return m_status; }
    QPushButton* runButton() const { return m_run; }
    QPushButton* stopButton() const { return m_stop; }
    QProgressBar* busyIndicator() const { return m_busy; }
    // The "⌄" button over the right end of the command field; nullptr until installed.
    QToolButton* recipeButton() const { return m_recipeButton; }
    // Creates the recipe button once; later calls do nothing.
    QToolButton* installRecipeButton();
    // Shows whether a run is under way: Stop is enabled and the busy indicator shown meanwhile.
    void setRunning(bool running);

signals:
    void runRequested();
    void stopRequested();
    void closeRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeRecipeButton();

    QLineEdit* m_command;
    ResultView* m_result;
    QLabel* m_status;
    QPushButton* m_run;
    QPushButton* m_stop;
    QPushButton* m_close;
    QProgressBar* m_busy;
    QToolButton* m_recipeButton = nullptr;
};
