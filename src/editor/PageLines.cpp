#include "editor/PageLines.h"

#include "model/LineHash.h"

#include <algorithm>
#include <cstring>

namespace PageLines {

Hashes hash(QByteArrayView text)
{
    Hashes hashes;
    hashes.reserve(std::size_t(text.size() / 16 + 1));
    const char* at = text.data();
    const char* end = at + text.size();
    for (;;) {
        const auto* lineEnd = static_cast<const char*>(at == end ? nullptr : std::memchr(at, '\n', std::size_t(end - at)));
        const char* stop = lineEnd ? lineEnd : end;
        hashes.push_back(lineHash(at, std::size_t(stop - at)));
        if (!lineEnd)
            return hashes;
        at = lineEnd + 1;
    }
}

Change diff(const Hashes& before, const Hashes& after)
{
    const std::size_t limit = std::min(before.size(), after.size());
    std::size_t head = 0;
    while (head < limit && before[head] == after[head])
        ++head;
    std::size_t tail = 0;
    while (tail < limit - head && before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    return {qsizetype(head), qsizetype(before.size() - head - tail), qsizetype(after.size() - head - tail)};
}

qsizetype lineStart(QByteArrayView text, qsizetype line)
{
    qsizetype at = 0;
    for (qsizetype i = 0; i < line; ++i) {
        const qsizetype found = text.indexOf('\n', at);
        if (found < 0)
            return i + 1 == line ? text.size() + 1 : -1;
        at = found + 1;
    }
    return at;
}

QByteArrayView lines(QByteArrayView text, qsizetype from, qsizetype count)
{
    if (count <= 0)
        return {};
    const qsizetype start = lineStart(text, from);
    qsizetype end = start;
    for (qsizetype i = 0; i < count && end <= text.size(); ++i) {
        const qsizetype found = text.indexOf('\n', end);
        end = found >= 0 ? found + 1 : text.size() + 1;
    }
    return text.sliced(start, end - 1 - start);
}

std::optional<QByteArray> splice(QByteArrayView text, qsizetype from, qsizetype removed, QByteArrayView inserted,
                                 qsizetype added)
{
    const qsizetype lineCount = text.count('\n') + 1;
    if (from < 0 || removed < 0 || added < 0 || from + removed > lineCount || (added == 0 && !inserted.isEmpty()))
        return std::nullopt;
    // The text as lines: [kept before][removed][kept after], each run joined by line breaks. Whichever runs are
    // not empty are joined again by one line break each.
    const qsizetype removedStart = lineStart(text, from);
    const qsizetype keptAfter = lineStart(text, from + removed);
    const QByteArrayView before = from > 0 ? text.first(removedStart - 1) : QByteArrayView();
    const QByteArrayView after = from + removed < lineCount ? text.sliced(keptAfter) : QByteArrayView();
    const bool hasBefore = from > 0;
    const bool hasAfter = from + removed < lineCount;
    QByteArray result;
    result.reserve(before.size() + inserted.size() + after.size() + 2);
    result.append(before);
    if (added > 0) {
        if (hasBefore)
            result.append('\n');
        result.append(inserted);
    }
    if (hasAfter) {
        if (hasBefore || added > 0)
            result.append('\n');
        result.append(after);
    }
    return result;
}

} // namespace PageLines
