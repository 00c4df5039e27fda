#pragma once

#include <QFlags>
#include <QString>

// How a document's text was read: plain JSON, or one of the relaxed forms people keep JSON in.
enum class Dialect { Json, JsonWithComments, Json5, JsonLines };

// What a relaxed text used that plain JSON lacks.
enum class RelaxedFeature : unsigned {
    Comments = 1 << 0,
    TrailingCommas = 1 << 1,
    UnquotedKeys = 1 << 2,
    SingleQuotedStrings = 1 << 3,
    StringEscapes = 1 << 4,
    LineContinuations = 1 << 5,
    HexadecimalNumbers = 1 << 6,
    BareDecimalPoints = 1 << 7,
    PlusSigns = 1 << 8,
    WhiteSpace = 1 << 9,
};
Q_DECLARE_FLAGS(RelaxedFeatures, RelaxedFeature)
Q_DECLARE_OPERATORS_FOR_FLAGS(RelaxedFeatures)

// What reading a document found: its dialect and, for the user's sake, the members that saving will drop.
struct ReadReport
{
    Dialect dialect = Dialect::Json;
    RelaxedFeatures features;
    qsizetype values = 0;        // JSON Lines: the values read, one per line
    qsizetype duplicateKeys = 0; // members whose name repeats an earlier sibling's
    QString firstDuplicatePath;  // the outline path of the first of them
};

namespace Dialects {

// "JSON", "JSON with comments", "JSON5" or "JSON Lines".
QString name(Dialect dialect);
// The dialect a file's extension announces: .jsonl and .ndjson JSON Lines, .json5 JSON5, .jsonc JSON with
// comments; plain JSON for any other.
Dialect fromFileName(const QString& fileName);
// "comments, unquoted keys and trailing commas"
QString featureList(RelaxedFeatures features);
// For a terminal: "read as JSON Lines, 3 values", "read as JSON5: comments and trailing commas"; empty for
// plain JSON.
QString readAs(const ReadReport& report);
// "2 duplicate keys: only the last of each is kept when saving (first: root.a)"; empty without duplicates.
QString duplicateKeysWarning(const ReadReport& report);

} // namespace Dialects
