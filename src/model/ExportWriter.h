#pragma once

#include "model/ExportFormat.h"

#include <QByteArray>
#include <QString>
#include <optional>

class Document;
class TreeNode;

// Writing a document in a format chosen by the user: JSON and property lists here; XML and YAML are made by
// the code editor page and written with writeFileAtomically().
namespace ExportWriter {

// The bytes `root` is written as in `format`; nothing, with the reason, when it cannot be (XML and YAML
// always need the page).
std::optional<QByteArray> exportBytes(const TreeNode* root, ExportFormat format, QString* why = nullptr);

// Replaces the file only once every byte is written, so a failure leaves the old file as it was.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* why = nullptr);
// Writes `root` to the file in JSON or a property-list format, atomically like writeFileAtomically(); the
// property lists are streamed to the file rather than made in memory first.
bool writeFile(const TreeNode* root, ExportFormat format, const QString& path, QString* why = nullptr);

// writeExport(to:format:document:page:) for JSON and the property lists. On success JSON gives the
// document its new file and name, and every format marks it saved. On failure the format's alert is shown
// and the document is left as it was.
bool writeExport(const QString& path, ExportFormat format, Document& document);

// The format's failure alert.
void presentFailure(ExportFormat format);

} // namespace ExportWriter
