#pragma once

// Helpers shared by the model tests.

#include "model/Alerts.h"
#include "model/Document.h"
#include "model/Log.h"

#include <QFile>
#include <QList>
#include <QStringEncoder>
#include <QStringList>

// Records every alert instead of showing it, while it lives.
class AlertRecorder : public AlertPresenter
{
public:
    AlertRecorder() { Alerts::setPresenter(this); }
    ~AlertRecorder() override { Alerts::setPresenter(nullptr); }
    AlertRecorder(const AlertRecorder&) = delete;
    AlertRecorder& operator=(const AlertRecorder&) = delete;
    void present(const Alert& alert) override { alerts << alert; }
    QList<Alert> alerts;
};

// Records the log lines written while it lives.
class LogRecorder
{
public:
    LogRecorder()
    {
        m_previous = Log::setSink([this](Log::Level level, const QString& line) {
            levels << level;
            lines << line;
        });
    }
    ~LogRecorder() { Log::setSink(m_previous); }
    LogRecorder(const LogRecorder&) = delete;
    LogRecorder& operator=(const LogRecorder&) = delete;

    // Error lines reporting the given operation ("⛔️ jsonText] …").
    int errorsNaming(const QString& operation) const
    {
        int count = 0;
        for (qsizetype i = 0; i < lines.size(); ++i)
            count += levels[i] == Log::Level::Error && lines[i].contains(operation + QLatin1Char(']'));
        return count;
    }

    QList<Log::Level> levels;
    QStringList lines;

private:
    Log::Sink m_previous;
};

// The document read, or null (with the error in `why`) when it was refused.
inline std::unique_ptr<Document> loaded(Document::Loaded read, Error* why = nullptr)
{
    if (read)
        return std::move(*read);
    if (why)
        *why = read.error();
    return nullptr;
}

// The tree of a document made from text, or nothing when the text is not a document.
inline OwnedTree treeFromText(const QString& json)
{
    auto document = Document::documentFromText(json);
    return document ? (*document)->takeRoot() : OwnedTree();
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The file's bytes, or nothing when it cannot be read.
inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The text in an encoding, with its byte-order mark.
inline QByteArray encoded(const QString& text, QStringConverter::Encoding encoding)
{
    QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
    return encoder.encode(text);
}
