#pragma once

#include "model/Dialect.h"
#include "model/Result.h"
#include "model/TreeNode.h"

#include <QByteArray>

// Reads the relaxed forms JSON is kept in (JSON with comments, JSON5, JSON Lines) into the same tree the strict
// reader builds. The text is rewritten as strict JSON in one pass and handed to the strict reader, so that
// numbers, strings, nesting and errors follow exactly the same rules; errors point into the text as given.
namespace RelaxedReader {

struct Tree
{
    OwnedTree root;
    ReadReport report;
};

// Reads UTF-8 text as JSON Lines when `hint` says so; otherwise as JSON with comments or JSON5 (named JSON5
// when it uses more than comments and trailing commas, or when `hint` is JSON5), then, for a text of several
// lines, as JSON Lines. A refused text gets the error of the reading that came furthest, JSON Lines only once
// its first line was read.
// `utf8` is rewritten while JSON Lines is read, and as it was again when reading fails.
Result<Tree> read(QByteArray& utf8, Dialect hint);

// One value per line, blank lines ignored, read as the elements of an array. An error names the line.
Result<Tree> readJsonLines(QByteArray& utf8);

} // namespace RelaxedReader
