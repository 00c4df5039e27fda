#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

class EditorPage;
class QObject;

// Runs one of the page's conversions ("toxml" or "toyaml") over JSON text. A document's text up to a few
// megabytes goes in one toxml('…') or toyaml('…') script, whose result is the converted text. A larger one
// would come back as a result too long for the web engine to return, so the page keeps it and hands it
// over in parts, fetched one script at a time.
namespace PageConverter {

using Done = std::function<void(std::optional<QString> converted)>;

// `done` runs on the main thread with the text, or with nothing when the page gave none. It does not run
// when `context` is gone by then.
void convert(EditorPage& page, const QString& function, const QByteArray& jsonText, QObject* context, Done done);

// The same without a window: the editor page is loaded into a page that is never shown (a QGuiApplication
// is needed, on any platform, offscreen too), converts, and is gone. The converted text, or nothing with
// `*why` set.
std::optional<QString> convertInHiddenPage(const QString& function, const QByteArray& jsonText,
                                           const QString& pageDirectory, QString* why);

// Texts at least this long are converted in parts.
constexpr qsizetype kPartsThreshold = qsizetype(16) << 20;

} // namespace PageConverter
