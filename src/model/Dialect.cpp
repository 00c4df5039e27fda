#include "model/Dialect.h"

#include <QFileInfo>
#include <QStringList>

namespace Dialects {

QString name(Dialect dialect)
{
    switch (dialect) {
    case Dialect::Json:
        return QStringLiteral("JSON");
    case Dialect::JsonWithComments:
        return QStringLiteral("JSON with comments");
    case Dialect::Json5:
        return QStringLiteral("JSON5");
    case Dialect::JsonLines:
        return QStringLiteral("JSON Lines");
    }
    return {};
}

Dialect fromFileName(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("jsonl") || suffix == QLatin1String("ndjson"))
        return Dialect::JsonLines;
    if (suffix == QLatin1String("json5"))
        return Dialect::Json5;
    if (suffix == QLatin1String("jsonc"))
        return Dialect::JsonWithComments;
    return Dialect::Json;
}

QString featureList(RelaxedFeatures features)
{
    static const std::pair<RelaxedFeature, const char*> phrases[] = {
        {RelaxedFeature::Comments, "comments"},
        {RelaxedFeature::TrailingCommas, "trailing commas"},
        {RelaxedFeature::UnquotedKeys, "unquoted keys"},
        {RelaxedFeature::SingleQuotedStrings, "single-quoted strings"},
        {RelaxedFeature::StringEscapes, "JavaScript string escapes"},
        {RelaxedFeature::LineContinuations, "line continuations"},
        {RelaxedFeature::HexadecimalNumbers, "hexadecimal numbers"},
        {RelaxedFeature::BareDecimalPoints, "leading or trailing decimal points"},
        {RelaxedFeature::PlusSigns, "explicit plus signs"},
        {RelaxedFeature::WhiteSpace, "white space JSON does not allow"},
    };
    QStringList found;
    for (const auto& [feature, phrase] : phrases)
        if (features.testFlag(feature))
            found << QString::fromLatin1(phrase);
    if (found.size() < 2)
        return found.value(0);
    const QString last = found.takeLast();
    return found.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

QString readAs(const ReadReport& report)
{
    switch (report.dialect) {
    case Dialect::Json:
        return {};
    case Dialect::JsonLines:
        return QStringLiteral("read as JSON Lines, %1 %2")
            .arg(report.values)
            .arg(report.values == 1 ? QStringLiteral("value") : QStringLiteral("values"));
    case Dialect::JsonWithComments:
    case Dialect::Json5:
        return QStringLiteral("read as %1: %2").arg(name(report.dialect), featureList(report.features));
    }
    return {};
}

QString duplicateKeysWarning(const ReadReport& report)
{
    if (report.duplicateKeys == 0)
        return {};
    const QString warning =
        report.duplicateKeys == 1
            ? QStringLiteral("1 duplicate key: only the last is kept when saving")
            : QStringLiteral("%1 duplicate keys: only the last of each is kept when saving").arg(report.duplicateKeys);
    return warning + QStringLiteral(" (first: %1)").arg(report.firstDuplicatePath);
}

} // namespace Dialects
