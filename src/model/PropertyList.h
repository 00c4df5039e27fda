#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

class TreeNode;

// A node's JSON value as a property list, written by libplist. A property list has no null, so a tree holding
// one cannot be converted; neither can texts holding U+0000 (libplist keeps C strings) nor, in the XML form,
// characters XML cannot carry. Failures write a log line naming the operation and return nothing.
namespace PropertyList {

// The published format codes.
constexpr int xmlFormat = 100;
constexpr int openStepFormat = 1;
constexpr int binaryFormat = 200;

// propertyListText(_:): the property list as UTF-8 text in the XML (100) or OpenStep (1) format. OpenStep
// text is not written, as on the platform this program comes from: that format has no numbers or booleans.
std::optional<QByteArray> propertyListText(const TreeNode& node, int format, QString* why = nullptr);
// propertyListData(): the binary (200) form.
std::optional<QByteArray> propertyListData(const TreeNode& node, QString* why = nullptr);

} // namespace PropertyList
