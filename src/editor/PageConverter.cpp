#include "editor/PageConverter.h"

#include "editor/EditorPage.h"
#include "editor/ScriptLiteral.h"

#include <QPointer>
#include <memory>

namespace PageConverter {

namespace {

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

} // namespace PageConverter
