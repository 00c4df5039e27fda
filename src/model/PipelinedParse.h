#pragma once

#include "model/Result.h"

#include <QByteArray>
#include <vector>

class TreeBuilder;

// Parses JSON text into a tree builder. Large texts are parsed and built on two threads at once: one reads
// the text, the other builds nodes from what it has read, which roughly halves the time to open big files.
namespace PipelinedParse {

// `topElements`: as JsonReader::parse.
Result<void> parse(QByteArray& utf8, TreeBuilder& builder, std::vector<qsizetype>* topElements = nullptr);

} // namespace PipelinedParse
