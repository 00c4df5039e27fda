#pragma once

#include "model/JsonValue.h"
#include "model/Result.h"

#include <QByteArray>
#include <vector>

// Reads JSON text (RFC 8259, UTF-8) whose top level is an array or an object, reporting its values in
// document order to a handler with beginArray/beginObject/key/endArray/endObject and integer/real/boolean/
// null/string. Numbers that are integers in the signed 64-bit range arrive as integers whatever their form
// (2.0, 1e3); all others as doubles. Nesting is limited to maxDepth levels.
namespace JsonReader {

constexpr int maxDepth = 1024;

// `utf8` may gain spare capacity: the parser reads a little past the end of the text. With `topElements`, the
// byte offset of each element of a top-level array is appended to it (JSON Lines checks where each begins).
template <class Handler>
Result<void> parse(QByteArray& utf8, Handler& handler, std::vector<qsizetype>* topElements = nullptr);

Result<JsonValue> parseValue(QByteArray utf8);

// The document's bytes as UTF-8: a byte-order mark selects UTF-8, UTF-16 or UTF-32 (either byte order) and is
// removed; without one the bytes are taken as UTF-8 (validated by the parser).
Result<QByteArray> decodeDocumentBytes(QByteArray bytes);

} // namespace JsonReader
