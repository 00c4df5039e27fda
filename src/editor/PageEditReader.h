#pragma once

#include "editor/PageLines.h"
#include "model/Document.h"

#include <QJsonObject>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class ContentPusher;
class TreeNode;

// Reads what the user typed in the editor page into a document. The page sends an edit as a run of lines
// replaced; the text it was made in is the document's own pretty text, written again, whenever its lines are the
// ones the window last knew the page to show, so a keystroke costs the page a few bytes instead of the whole
// text. Otherwise (the page showed a text the tree cannot give back, such as one it refused) the page is asked
// for its whole text. Long texts are read on a worker thread.
class PageEditReader : public QObject
{
    Q_OBJECT

public:
    using TreeSource = std::function<const TreeNode*()>;
    // The page's text as a document, or why it is not one.
    using Read = std::function<void(Document::Loaded read)>;

    PageEditReader(ContentPusher& pusher, TreeSource source, Read read, QObject* parent = nullptr);

    // Takes the page's messages about its text ("contentPart", "contentChanged", "linesChanged"); false for
    // any other.
    bool receive(const QString& cmd, const QJsonObject& message);
    // The document changed in the window: a text still being read loses to that change.
    void cancel() { ++m_token; }

private:
    void readLines(qint64 base, std::optional<qint64> version, qsizetype from, qsizetype removed, qsizetype added,
                   QByteArray inserted);
    void readWhole(QByteArray text, std::optional<qint64> version);
    // Parses `text` (or, given a base, the base with the edit applied) and hands the outcome over.
    struct Outcome;
    void finish(std::shared_ptr<Outcome> outcome, bool inBackground);
    void askForWholeText();

    ContentPusher& m_pusher;
    TreeSource m_source;
    Read m_read;
    QStringList m_parts;
    quint64 m_token = 0;
};
