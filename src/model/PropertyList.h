#pragma once

#include "model/Result.h"

#include <QByteArray>
#include <QString>

class QIODevice;
class TreeNode;

// A node's JSON value as a property list, streamed straight from the tree. A property list has no null, so a
// tree holding one cannot be converted; neither can texts holding U+0000, nor, in the XML form, characters XML
// cannot carry. Objects are written in name order, a later member of a name replacing an earlier one, as in
// the JSON text.
namespace PropertyList {

// The published format codes.
constexpr int xmlFormat = 100;
constexpr int openStepFormat = 1;
constexpr int binaryFormat = 200;

// Write the XML (100) or binary (200) form to `out`. On failure (NotWritable, FileWrite) `out`
// holds part of the list: write to a QSaveFile and cancel it.
Result<void> writeXml(const TreeNode& node, QIODevice& out);
// `bplist00`: every member name is written once and referred to from each object that has it.
Result<void> writeBinary(const TreeNode& node, QIODevice& out);

// propertyListText(_:): the property list as UTF-8 text in the XML (100) or OpenStep (1) format. OpenStep
// text is not written, as on the platform this program comes from: that format has no numbers or booleans.
// UnknownFormat for any other format.
Result<QByteArray> propertyListText(const TreeNode& node, int format);
// propertyListData(): the binary (200) form.
Result<QByteArray> propertyListData(const TreeNode& node);

// Why a text cannot be a property list's string (in the XML form when `forXml`); empty when it can.
QString textRefusal(std::string_view utf8, bool forXml);
// Why a leaf cannot be written (null, or no value); empty when it can. Its text is not looked at.
QString leafRefusal(const TreeNode& node);

} // namespace PropertyList
