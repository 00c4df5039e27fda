#include "model/SearchSettings.h"

std::optional<QString> SearchSettings::compileExpression()
{
    if (regularExpression && !text.isEmpty()) {
        QRegularExpression::PatternOptions options = QRegularExpression::UseUnicodePropertiesOption;
        if (!caseSensitive)
            options |= QRegularExpression::CaseInsensitiveOption;
        QRegularExpression compiled(text, options);
        if (compiled.isValid()) {
            expression = compiled;
            expressionError.reset();
            return std::nullopt;
        }
        expression.reset();
        expressionError =
            QStringLiteral("%1 at offset %2").arg(compiled.errorString()).arg(compiled.patternErrorOffset());
        return expressionError;
    }
    expression.reset();
    expressionError.reset();
    return std::nullopt;
}
