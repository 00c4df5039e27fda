#pragma once

#include "model/ExportFormat.h"

#include <QByteArray>
#include <QString>
#include <optional>

class Document;
class TreeNode;

// Writing a document in a format chosen by the user.
namespace ExportWriter {

// The bytes `root` is written as in `format`; nothing, with the reason, when it cannot be.
std::optional<QByteArray> exportBytes(const TreeNode* root, ExportFormat format, QString* why = nullptr);

// Replaces the file only once every byte is written, so a failure leaves the old file as it was.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* why = nullptr);
// Writes `root` to the file in `format`, atomically like writeFileAtomically(); every format but JSON is
// streamed to the file rather than made in memory first.
bool writeFile(const TreeNode* root, ExportFormat format, const QString& path, QString* why = nullptr);

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
