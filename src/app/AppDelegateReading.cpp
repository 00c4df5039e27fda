// Documents the relaxed reader read: the question before one that is not plain JSON opens, and the note on
// the duplicate keys reading found.
#include "app/AppDelegate.h"

#include "app/MainWindow.h"
#include "model/Dialect.h"
#include "model/Log.h"

#include <QLabel>

namespace {

// "This file is not plain JSON: it has comments and trailing commas (JSON5). Open it anyway? Saving writes
// plain JSON, without the comments."
QString notPlainJsonQuestion(const ReadReport& report, AppDelegate::ReadSource source)
{
    const QString subject = source == AppDelegate::ReadSource::File        ? QStringLiteral("This file")
                            : source == AppDelegate::ReadSource::Clipboard ? QStringLiteral("This text")
                                                                           : QStringLiteral("This download");
    QString found;
    QString saving;
    if (report.dialect == Dialect::JsonLines) {
        found = report.values == 1 ? QStringLiteral("it has 1 value on a line of its own")
                                   : QStringLiteral("it has %1 values, one per line").arg(report.values);
        saving = QStringLiteral("Saving writes plain JSON: one array of these values.");
    } else {
        found = QStringLiteral("it has ") + Dialects::featureList(report.features);
        saving = report.features.testFlag(RelaxedFeature::Comments)
                     ? QStringLiteral("Saving writes plain JSON, without the comments.")
                     : QStringLiteral("Saving writes plain JSON.");
    }
    return QStringLiteral("%1 is not plain JSON: %2 (%3). Open it anyway? %4")
        .arg(subject, found, Dialects::name(report.dialect), saving);
}

} // namespace

bool AppDelegate::installReadDocument(std::unique_ptr<Document> document, ReadSource source, const QString& fileName)
{
    const ReadReport& report = document->readReport();
    const bool announced =
        report.dialect == Dialect::JsonLines && Dialects::fromFileName(fileName) == Dialect::JsonLines;
    if (report.dialect != Dialect::Json && !announced) {
        const auto answer =
            prompts().confirm({tr("Not Plain JSON"), notPlainJsonQuestion(report, source), false, tr("Open")});
        if (!answer.proceed)
            return false;
    }
    const QString duplicates = Dialects::duplicateKeysWarning(report);
    installDocument(std::move(document));
    m_documentIsBlank = false;
    updateWindowSubtitle();
    m_window->statusNotice()->setText(duplicates);
    return true;
}

void AppDelegate::loadClipboardText(const QString& text)
{
    auto document = Document::documentFromText(text, Document::Reading::Relaxed);
    if (!document) {
        BW_LOG_ERROR("loadJSONString(_:)", document.error().description());
        showLoadFailure();
        return;
    }
    installReadDocument(std::move(*document), ReadSource::Clipboard);
}
