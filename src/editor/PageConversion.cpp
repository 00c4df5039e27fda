#include "editor/PageConversion.h"

#include "editor/EditorPageFiles.h"
#include "editor/PageConverter.h"
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
    QTimer loadTimeout;
    loadTimeout.setSingleShot(true);
    QObject::connect(&loadTimeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    loadTimeout.start(kLoadTimeoutMs);
    loop.exec();
    loadTimeout.stop();
    if (!loaded)
        return fail(QStringLiteral("the editor page did not load"));

    std::optional<std::optional<QString>> answer;
    PageConverter::convert(page, function, jsonText, &loop, [&](std::optional<QString> converted) {
        answer = std::move(converted);
        loop.quit();
    });
    if (!answer)
        loop.exec();
    if (!answer || !*answer) {
        const QString error = page.lastScriptError();
        return fail(error.isEmpty() ? QStringLiteral("the editor page gave no text") : error);
    }
    return std::move(**answer);
}

} // namespace PageConversion
