#pragma once

#include "model/ExportFormat.h"
#include "model/Result.h"

#include <QByteArray>
#include <QString>

class Document;
class TreeNode;

// Writing a document in a format chosen by the user.
namespace ExportWriter {

// The bytes `root` is written as in `format`, or why it cannot be (NoContent, NotWritable).
Result<QByteArray> exportBytes(const TreeNode* root, ExportFormat format);

// Replaces the file only once every byte is written, so a failure (FileWrite) leaves the old file as it was.
Result<void> writeFileAtomically(const QString& path, const QByteArray& bytes);
// Writes `root` to the file in `format`, atomically like writeFileAtomically(); every format but JSON is
// streamed to the file rather than made in memory first.
Result<void> writeFile(const TreeNode* root, ExportFormat format, const QString& path);

// writeExport(to:format:document:page:). On success JSON gives the document its new file and name, JSON and
// the property lists mark it saved, and XML and YAML leave it as it was. On failure the format's alert is
// shown and the document is left as it was.
bool writeExport(const QString& path, ExportFormat format, Document& document);

// Whether a successful export in `format` marks the document saved: JSON and the property lists do, XML and
// YAML do not.
bool marksSaved(ExportFormat format);

// The format's failure alert.
void presentFailure(ExportFormat format);

} // namespace ExportWriter
