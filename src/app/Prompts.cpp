#include "app/Prompts.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

Prompts::ConfirmationAnswer DialogPrompts::confirm(const Confirmation& confirmation)
{
    QMessageBox box(QMessageBox::Warning, confirmation.title, confirmation.message, QMessageBox::NoButton, m_window);
    box.setWindowModality(Qt::ApplicationModal);
    QPushButton* ok = box.addButton(confirmation.acceptText.isEmpty() ? QObject::tr("OK") : confirmation.acceptText,
                                    QMessageBox::AcceptRole);
    box.addButton(QObject::tr("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(ok);
    QCheckBox* suppression = nullptr;
    if (confirmation.showsSuppression) {
        suppression = new QCheckBox(QObject::tr("Don't show this message again"), &box);
        box.setCheckBox(suppression);
    }
    box.exec();
    return {box.clickedButton() == ok, suppression && suppression->isChecked()};
}

Prompts::SaveChoice DialogPrompts::askToSaveChanges(const QString& documentName)
{
    QMessageBox box(QMessageBox::Warning, QObject::tr("Save changes?"),
                    QObject::tr("Do you want to save the changes to \"%1\" before closing?").arg(documentName),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, m_window);
    box.setInformativeText(QObject::tr("Your changes will be lost if you don't save them."));
    box.button(QMessageBox::Discard)->setText(QObject::tr("Don't Save"));
    box.setDefaultButton(QMessageBox::Save);
    box.setWindowModality(Qt::ApplicationModal);
    switch (box.exec()) {
    case QMessageBox::Save:
        return SaveChoice::Save;
    case QMessageBox::Discard:
        return SaveChoice::DontSave;
    default:
        return SaveChoice::Cancel;
    }
}

QString DialogPrompts::chooseFileToOpen()
{
    QFileDialog dialog(m_window, QObject::tr("Open"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    // The relaxed forms the window reads too; any file, since JSON often comes without its extension.
    dialog.setNameFilters(
        {QObject::tr("JSON files (*.json *.jsonc *.json5 *.jsonl *.ndjson)"), QObject::tr("All files (*)")});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

QString DialogPrompts::chooseSaveLocation(ExportFormat format)
{
    const QStringList extensions = ExportFormats::extensions(format);
    QStringList patterns;
    for (const QString& extension : extensions)
        patterns << QStringLiteral("*.") + extension;
    QFileDialog dialog(m_window, format == ExportFormat::Json ? QObject::tr("Save As") : QObject::tr("Export"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("%1 (%2)").arg(ExportFormats::displayName(format), patterns.join(' ')));
    dialog.setDefaultSuffix(extensions.value(0));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}
