#pragma once

#include "model/ExportFormat.h"

#include <QString>

class QWidget;

// The questions the controller asks the user. The window answers them with message boxes; tests answer them
// from a script, so that no test waits on a modal dialog.
class Prompts
{
public:
    struct Confirmation
    {
        QString title;
        QString message;
        bool showsSuppression = false; // offer "Don't show this message again"
        QString acceptText = {};       // the button that proceeds; "OK" when empty
    };
    struct ConfirmationAnswer
    {
        bool proceed = false;
        bool suppress = false; // the checkbox was ticked, whichever button closed the alert
    };
    enum class SaveChoice { Save, DontSave, Cancel };

    virtual ~Prompts() = default;
    virtual ConfirmationAnswer confirm(const Confirmation& confirmation) = 0;
    // Asked before unsaved changes would be lost by closing the window.
    virtual SaveChoice askToSaveChanges(const QString& documentName) = 0;
    // A JSON file to open, or an empty path when the user cancels.
    virtual QString chooseFileToOpen() = 0;
    // Where to write the document in `format`, or an empty path when the user cancels.
    virtual QString chooseSaveLocation(ExportFormat format) = 0;
};

// Prompts as message boxes and file dialogs on top of `window`.
class DialogPrompts : public Prompts
{
public:
    explicit DialogPrompts(QWidget* window) : m_window(window) {}
    ConfirmationAnswer confirm(const Confirmation& confirmation) override;
    SaveChoice askToSaveChanges(const QString& documentName) override;
    QString chooseFileToOpen() override;
    QString chooseSaveLocation(ExportFormat format) override;

private:
    QWidget* m_window;
};
