#pragma once

#include "model/JsonWriter.h"

#include <QByteArray>
#include <QObject>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

class TreeNode;

// Writes a tree's pretty text on the main thread a slice at a time, between events, so that writing a large
// document never holds up the window. The text is handed on in parts of whole lines as it grows, so that what
// comes after (hashing, the page reading it) can start before the end. The tree may change between slices, so
// before each one the job asks whether it may go on; it gives up, without touching the tree again, when the
// answer is no or when its tree changed meanwhile (its generation moved on).
class PrettyTextJob : public QObject
{
    Q_OBJECT

public:
    enum class Outcome { Written, Failed, TooLarge, Abandoned };
    struct Options
    {
        // A text longer than this is given up as TooLarge.
        qsizetype limit = std::numeric_limits<qsizetype>::max();
        // Parts are handed on once at least this long; the last part may be shorter.
        qsizetype partLength = qsizetype(16) << 20;
    };
    using MayContinue = std::function<bool()>;
    // A part: whole lines joined by line breaks; parts are joined by one line break each.
    using Part = std::function<void(QByteArray lines)>;
    // The outcome, the text's size in bytes (as far as it was written) and, once written, the lineHash() of each
    // of its lines.
    using Done = std::function<void(Outcome outcome, qsizetype size, std::vector<quint64> lines)>;

    // Starts writing `root`. `part` and then `done` run on the main thread (the first ones may run before start()
    // returns), unless `context` is gone first.
    static void start(const TreeNode* root, Options options, QObject* context, MayContinue mayContinue, Part part,
                      Done done);

private:
    PrettyTextJob(const TreeNode* root, Options options, MayContinue mayContinue, Part part, Done done,
                  QObject* context);
    void slice();
    void finish(Outcome outcome, qsizetype size);

    std::unique_ptr<JsonWriter::JsonTextWriter> m_writer;
    Options m_options;
    qsizetype m_handedOn = 0;
    const TreeNode* m_root;
    qint64 m_generation;
    MayContinue m_mayContinue;
    Part m_part;
    Done m_done;
};
