#pragma once

#include "model/Dialect.h"
#include "model/Result.h"
#include "model/TreeNode.h"

#include <QIODevice>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

// The open JSON document: its tree, the file it belongs to, its display name and whether it is saved.
class Document : public QObject
{
    Q_OBJECT
public:
    ~Document() override;

    // Strict reading takes plain JSON only. Relaxed reading takes plain JSON first and, when that fails, JSON
    // with comments, JSON5 and JSON Lines; a file named .jsonl or .ndjson is read as JSON Lines straight away.
    enum class Reading { Strict, Relaxed };

    // Never null when it holds a document.
    using Loaded = Result<std::unique_ptr<Document>>;

    // A new unsaved "Untitled" document, or the reading error when the text is not a valid document.
    static Loaded documentFromText(const QString& text, Reading reading = Reading::Strict);
    // As documentFromText, for raw bytes (UTF-8, or with a UTF-8/16/32 byte-order mark). `fileName`, when known,
    // tells relaxed reading which dialect to expect.
    static Loaded documentFromBytes(QByteArray bytes, Reading reading = Reading::Strict,
                                    const QString& fileName = QString());
    // A saved document named after the file, or the error when the file cannot be read (FileRead, TooLarge) or is
    // not a document. A file read as anything but plain JSON opens unsaved: saving it writes plain JSON.
    static Loaded documentFromFile(const QString& path, Reading reading = Reading::Strict);

    // All the bytes of a file, pipe or device, up to the 4 GiB a document may have.
    static Result<QByteArray> readDocumentBytes(QIODevice& device);

    using Completion = std::function<void(Loaded)>;
    // Reads the file on a worker thread; `completion` runs on `context`'s thread unless `context` is gone.
    static void loadDocumentAsync(const QString& path, QObject* context, Completion completion,
                                  Reading reading = Reading::Strict);
    // documentFromBytes on a worker thread, handed over like loadDocumentAsync.
    static void documentFromBytesAsync(QByteArray bytes, QObject* context, Completion completion,
                                       Reading reading = Reading::Strict, const QString& fileName = QString());
    // documentFromText on a worker thread, handed over like loadDocumentAsync.
    static void documentFromTextAsync(QString text, QObject* context, Completion completion);

    enum class SaveResult { Saved, Failed, NeedsSaveAs };
    // Writes the document's JSON text to its file atomically. Without a file it asks for Save As instead.
    // Failures are shown through the alert presenter and leave the file and the saved flag untouched.
    SaveResult save();

    // The local file the document was read from or last written to as JSON; empty when there is none.
    QString url() const { return m_url; }
    void setUrl(const QString& path) { m_url = path; }
    std::optional<QString> name() const { return m_name; }
    void setName(std::optional<QString> name) { m_name = std::move(name); }
    bool saved() const { return m_saved; }
    // Posts savedStatusChanged on the main thread every time, even when the value does not change.
    void setSaved(bool saved);

    // How the text was read and the duplicate keys found. Once saved, the document's file is plain JSON.
    const ReadReport& readReport() const { return m_report; }

    TreeNode* root() const { return m_root.get(); }
    // The document relays the notifications of the tree it holds (treeDataChanged, reloadCurrentRow), so that
    // its listeners follow whichever tree it holds; a tree taken out is no longer relayed.
    void setRoot(OwnedTree root);
    OwnedTree takeRoot();

    static QString saveFailureTitle();
    static QString saveFailureMessage();

signals:
    // save() was asked of a document without a file.
    void saveAsRequested();
    // The saved flag was assigned; emitted on the assigning thread, before savedStatusChanged.
    void savedChanged(bool saved);
    // The saved flag was assigned; delivered on the main thread whatever the assigning thread, unless the
    // document is gone by then.
    void savedStatusChanged();
    // Relayed from the tree the document holds: see Notifications.
    void treeDataChanged();
    void reloadCurrentRow();

private:
    Document() = default;
    static Loaded fromBytes(QByteArray bytes, Reading reading, Dialect hint);
    static Loaded fromUtf8(QByteArray& utf8, Reading reading, Dialect hint);

    QString m_url;
    std::optional<QString> m_name;
    bool m_saved = false;
    ReadReport m_report;
    OwnedTree m_root;
};
