#include "editor/PageConverter.h"

#include "editor/EditorPage.h"
#include "editor/EditorPageFiles.h"
#include "editor/ScriptLiteral.h"
#include "editor/WebEditorPage.h"

#include <QEventLoop>
#include <QTimer>

#include <QPointer>
#include <memory>

namespace PageConverter {

namespace {

// Loading the page takes well under a second; this only guards against a web engine that never answers.
constexpr int kLoadTimeoutMs = 60'000;

struct PartsRun
{
    QPointer<EditorPage> page;
    QPointer<QObject> context;
    Done done;
    qint64 count = 0;
    QString text;

    void finish(std::optional<QString> converted)
    {
        if (context)
            done(std::move(converted));
    }
};

void fetchPart(const std::shared_ptr<PartsRun>& run, qint64 index)
{
    if (index == run->count)
        return run->finish(std::move(run->text));
    if (!run->page)
        return run->finish(std::nullopt);
    run->page->runJavaScript(QStringLiteral("convertedPart(%1)").arg(index), [run, index](const QVariant& part) {
        if (part.typeId() != QMetaType::QString)
            return run->finish(std::nullopt);
        run->text += part.toString();
        fetchPart(run, index + 1);
    });
}

} // namespace

void convert(EditorPage& page, const QString& function, const QByteArray& jsonText, QObject* context, Done done)
{
    QPointer<QObject> guard(context);
    const QString text = QString::fromUtf8(jsonText);
    if (jsonText.size() < kPartsThreshold) {
        page.runJavaScript(ScriptLiteral::conversionScript(function, text),
                           [guard, done = std::move(done)](const QVariant& result) {
                               if (!guard)
                                   return;
                               if (result.typeId() == QMetaType::QString)
                                   done(result.toString());
                               else
                                   done(std::nullopt);
                           });
        return;
    }
    auto run = std::make_shared<PartsRun>();
    run->page = &page;
    run->context = context;
    run->done = std::move(done);
    const QString script = QStringLiteral("convertInParts('") + function + QStringLiteral("', '") +
                           ScriptLiteral::scriptStringLiteral(text) + QStringLiteral("')");
    page.runJavaScript(script, [run](const QVariant& count) {
        bool ok = false;
        const qint64 parts = count.toLongLong(&ok);
        if (!ok || parts < 1 || count.typeId() == QMetaType::QString)
            return run->finish(std::nullopt);
        run->count = parts;
        fetchPart(run, 0);
    });
}

std::optional<QString> convertInHiddenPage(const QString& function, const QByteArray& jsonText,
                                           const QString& pageDirectory, QString* why)
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
    if (!EditorPageFiles::loadPage(page, pageDirectory, false, "convertInHiddenPage"))
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
    convert(page, function, jsonText, &loop, [&](std::optional<QString> converted) {
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

} // namespace PageConverter
