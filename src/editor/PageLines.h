#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>
#include <vector>

// The code editor's text as lines, for sending only what changed: the window keeps a hash of each line the page
// shows instead of a copy of its text, and an edit on either side travels as a run of lines replaced.
namespace PageLines {

// One hash per line; a text of n line breaks has n + 1 lines.
using Hashes = std::vector<quint64>;
Hashes hash(QByteArrayView text);

// Lines [from, from + removed) of the old text replaced by `added` lines of the new one.
struct Change
{
    qsizetype from = 0;
    qsizetype removed = 0;
    qsizetype added = 0;
};

// The smallest run of lines whose replacement turns `before` into `after`: common leading and trailing lines
// are kept. An empty change (nothing removed or added) when they are equal.
Change diff(const Hashes& before, const Hashes& after);

// Byte offset at which line `line` starts; the text's size plus one for the line after the last.
qsizetype lineStart(QByteArrayView text, qsizetype line);
// Lines [from, from + count) without the line break after the last; empty for no lines.
QByteArrayView lines(QByteArrayView text, qsizetype from, qsizetype count);
// `text` with lines [from, from + removed) replaced by the `added` lines of `inserted` (joined by line breaks;
// empty when added is 0). Nothing when the lines are not in the text.
std::optional<QByteArray> splice(QByteArrayView text, qsizetype from, qsizetype removed, QByteArrayView inserted,
                                 qsizetype added);

} // namespace PageLines
