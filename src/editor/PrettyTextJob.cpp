#include "editor/PrettyTextJob.h"

#include "model/Log.h"
#include "model/TreeNode.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QTimer>

namespace {

// Short enough that typing and scrolling stay smooth while a large document is written.
constexpr int kSliceMilliseconds = 12;

} // namespace

void PrettyTextJob::start(const TreeNode* root, Options options, QObject* context, MayContinue mayContinue, Part part,
                          Done done)
{
    auto* job = new PrettyTextJob(root, options, std::move(mayContinue), std::move(part), std::move(done), context);
    // A small document is written at once; a large one goes on from the event loop.
    job->slice();
}

PrettyTextJob::PrettyTextJob(const TreeNode* root, Options options, MayContinue mayContinue, Part part, Done done,
                             QObject* context)
    : QObject(context),
      m_writer(std::make_unique<JsonWriter::JsonTextWriter>(root, JsonWriter::JsonTextWriter::Layout::Pretty)),
      m_options(options), m_root(root), m_generation(root->treeGeneration()), m_mayContinue(std::move(mayContinue)),
      m_part(std::move(part)), m_done(std::move(done))
{
    m_writer->keepLineHashes();
}

void PrettyTextJob::slice()
{
    // The caller is asked first: once it says no, the tree may be gone.
    if ((m_mayContinue && !m_mayContinue()) || m_generation != m_root->treeGeneration())
        return finish(Outcome::Abandoned, m_handedOn);
    const bool complete = m_writer->writeUntil(QDeadlineTimer(kSliceMilliseconds));
    if (m_handedOn + m_writer->size() > m_options.limit)
        return finish(Outcome::TooLarge, m_handedOn + m_writer->size());
    if (!complete) {
        if (m_writer->size() >= m_options.partLength) {
            if (std::optional<QByteArray> lines = m_writer->takeCompleteLines()) {
                m_handedOn += lines->size() + 1;
                QPointer<PrettyTextJob> self(this);
                m_part(std::move(*lines));
                if (!self)
                    return;
            }
        }
        QTimer::singleShot(0, this, &PrettyTextJob::slice);
        return;
    }
    Result<QByteArray> rest = m_writer->take();
    if (!rest) {
        BW_LOG_ERROR("jsonText", rest.error().message);
        return finish(Outcome::Failed, m_handedOn);
    }
    m_handedOn += rest->size();
    QPointer<PrettyTextJob> self(this);
    m_part(std::move(*rest));
    if (self)
        finish(Outcome::Written, m_handedOn);
}

void PrettyTextJob::finish(Outcome outcome, qsizetype size)
{
    std::vector<quint64> lines = outcome == Outcome::Written ? m_writer->takeLineHashes() : std::vector<quint64>();
    m_writer.reset();
    const Done done = std::move(m_done);
    deleteLater();
    if (done)
        done(outcome, size, std::move(lines));
}
