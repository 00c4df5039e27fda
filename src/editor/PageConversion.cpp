#include "editor/PageConversion.h"

#include "editor/EditorPageFiles.h"
#include "editor/ScriptLiteral.h"
#include "editor/WebEditorPage.h"

#include <QEventLoop>
#include <QTimer>

namespace PageConversion {

namespace {

// Loading the page takes well under a second; this only guards against a web engine that never answers.
constexpr int kLoadTimeoutMs = 60'000;

} // namespace

std::optional<QString> convert(const QString& function, const QByteArray& jsonText, const QString& pageDirectory,
                               QString* why)
{
    const auto fail = [why](const QString& reason) -> std::optional<QString> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    WebEditorPage page;
    QEventLoop loop;
    bool loaded = false;
    QObject::connect(&page, &EditorPage::loadFinished, &loop, [&](bool ok) {
        loaded = ok;
        loop.quit();
    });
    if (!EditorPageFiles::loadPage(page, pageDirectory, false, "convert"))
        return fail(QStringLiteral("the editor page is missing or unreadable in %1").arg(pageDirectory));
    QTimer::singleShot(kLoadTimeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    if (!loaded)
        return fail(QStringLiteral("the editor page did not load"));

    std::optional<QVariant> answer;
    page.runJavaScript(ScriptLiteral::conversionScript(function, QString::fromUtf8(jsonText)),
                       [&](const QVariant& result) {
                           answer = result;
                           loop.quit();
                       });
    if (!answer)
        loop.exec();
    if (!answer || answer->typeId() != QMetaType::QString) {
        const QString error = page.lastScriptError();
        return fail(error.isEmpty() ? QStringLiteral("the editor page gave no text") : error);
    }
    return answer->toString();
}

} // namespace PageConversion
