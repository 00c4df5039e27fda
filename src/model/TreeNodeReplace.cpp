// Replace-all over a subtree: literal text in string values and, optionally, in member names.
#include "model/Log.h"
#include "model/Notifications.h"
#include "model/ReplaceLog.h"
#include "model/TreeNode.h"
#include "model/Utf8.h"

#include <QChar>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

const char* const kOperation = "replaceAll(_:with:caseSensitive:includeKeys:)";

std::string_view utf8View(const QByteArray& bytes)
{
    return {bytes.constData(), size_t(bytes.size())};
}

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

// The UTF-8 of every non-ASCII character that ignoring case equates with an ASCII one (the Kelvin sign and
// the long s today). Taken from Qt's own tables so that the byte pre-check never disagrees with QString.
const std::vector<std::string>& foldingToAscii()
{
    static const std::vector<std::string> sequences = [] {
        std::vector<std::string> found;
        for (char32_t c = 0x80; c <= 0x10FFFF; ++c) {
            if (QChar::isSurrogate(c) || QChar::toCaseFolded(c) >= 0x80)
                continue;
            const QByteArray utf8 = QString::fromUcs4(&c, 1).toUtf8();
            found.emplace_back(utf8.constData(), size_t(utf8.size()));
        }
        return found;
    }();
    return sequences;
}

// Decides from the stored UTF-8 whether a text can hold the find text, so that the millions of texts that
// cannot are never decoded. It may answer yes wrongly (QString has the last word), never no wrongly.
class Prefilter
{
public:
    Prefilter(const QString& find, bool caseSensitive)
    {
        const QByteArray utf8 = find.toUtf8();
        if (caseSensitive) {
            // Lone surrogates do not survive the trip to UTF-8, and U+FFFD also stands for stored bytes that
            // are not UTF-8: byte search could miss those.
            if (utf8ToQString(utf8View(utf8)) == find && !find.contains(QChar::ReplacementCharacter)) {
                m_mode = Bytes;
                m_needle = std::string(utf8View(utf8));
            }
            return;
        }
        for (const QChar c : find)
            if (c.unicode() >= 0x80)
                return;
        m_mode = AsciiFolded;
        m_needle.reserve(size_t(utf8.size()));
        for (const char c : utf8)
            m_needle += lowerAscii(c);
    }

    bool mayContain(std::string_view text) const
    {
        switch (m_mode) {
        case Bytes:
            return text.find(m_needle) != std::string_view::npos;
        case AsciiFolded:
            if (containsFolded(text))
                return true;
            for (const std::string& sequence : foldingToAscii())
                if (text.find(sequence) != std::string_view::npos)
                    return true;
            return false;
        case Always:
            break;
        }
        return true;
    }

private:
    // Every character of a match takes at least as many bytes as the needle character it equals.
    bool containsFolded(std::string_view text) const
    {
        const size_t n = m_needle.size();
        if (n > text.size())
            return false;
        for (size_t at = 0; at + n <= text.size(); ++at) {
            size_t i = 0;
            while (i < n && lowerAscii(text[at + i]) == m_needle[i])
                ++i;
            if (i == n)
                return true;
        }
        return false;
    }

    enum Mode { Always, Bytes, AsciiFolded };
    Mode m_mode = Always;
    std::string m_needle;
};

// The member names of one object as they stand during the run, for the duplicate check. Only built when a
// member of the object is about to be renamed: most objects never need it, and a large one must not be
// scanned once per rename.
class MemberNames
{
public:
    explicit MemberNames(const TreeNode* object) : m_object(object) {}

    // Whether another member of the object is named `name` (UTF-8).
    bool takenByAnother(const TreeNode* member, std::string_view name)
    {
        if (!m_object)
            return false;
        if (!m_counts) {
            m_counts = std::make_unique<std::unordered_map<std::string_view, std::uint32_t>>();
            m_counts->reserve(size_t(m_object->childCount()));
            // Views into the store's interned keys, which live as long as the tree.
            for (const TreeNode* child : m_object->children())
                ++(*m_counts)[child->nameUtf8()];
        }
        const auto found = m_counts->find(name);
        if (found == m_counts->end())
            return false;
        return found->second > (member->nameUtf8() == name ? 1u : 0u);
    }

    void renamed(std::string_view oldName, std::string_view newName)
    {
        if (!m_counts)
            return;
        const auto old = m_counts->find(oldName);
        if (old != m_counts->end() && --old->second == 0)
            m_counts->erase(old);
        ++(*m_counts)[newName];
    }

private:
    const TreeNode* m_object;
    std::unique_ptr<std::unordered_map<std::string_view, std::uint32_t>> m_counts;
};

} // namespace

qsizetype TreeNode::replaceAll(const QString& find, const QString& replacement, bool caseSensitive, bool includeKeys,
                               qsizetype* skippedKeys, ReplaceLog* log)
{
    if (find.isEmpty())
        return 0;
    const Qt::CaseSensitivity cs = caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const Prefilter prefilter(find, caseSensitive);
    // Every edit below announces itself; the batch turns them into one notification for the whole run.
    const Notifications::Batch batch(notifications());
    qsizetype count = 0;

    const auto visit = [&](TreeNode* node, MemberNames& siblings) {
        const std::string_view oldName = node->nameUtf8();
        if (includeKeys && !oldName.empty() && prefilter.mayContain(oldName)) {
            const QString name = utf8ToQString(oldName);
            QString renamed = name;
            renamed.replace(find, replacement, cs);
            if (renamed != name) {
                const QByteArray renamedUtf8 = renamed.toUtf8();
                if (siblings.takenByAnother(node, utf8View(renamedUtf8))) {
                    // An object keeps one value per name: the renamed member would replace the other on saving.
                    BW_LOG_WARNING(kOperation, QStringLiteral("Kept the name \"%1\": another member of its object "
                                                              "is already named \"%2\".")
                                                   .arg(name, renamed));
                    if (skippedKeys)
                        ++*skippedKeys;
                } else {
                    const NodeKey* before = node->nameKey();
                    node->setNameLabel(renamed);
                    if (log)
                        log->renamed(node, before, node->nameKey());
                    siblings.renamed(oldName, node->nameUtf8());
                    ++count;
                }
            }
        }
        if (node->isString() && node->valueType() == StringValue && prefilter.mayContain(node->stringValueUtf8())) {
            const QString value = utf8ToQString(node->stringValueUtf8());
            QString replaced = value;
            replaced.replace(find, replacement, cs);
            if (replaced != value) {
                const char* before = node->storedString();
                node->setValueLabel(replaced);
                if (log)
                    log->rewrote(node, before, node->storedString());
                ++count;
            }
        }
    };

    // Explicit stack: documents nest far deeper than the call stack allows.
    struct Frame
    {
        TreeNode* node;
        std::uint32_t next;
        MemberNames names;
    };
    MemberNames ownSiblings(parent());
    visit(this, ownSiblings);
    std::vector<Frame> stack;
    stack.push_back({this, 0, MemberNames(this)});
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.node->m_childCount) {
            stack.pop_back();
            continue;
        }
        TreeNode* child = top.node->m_children[top.next++];
        visit(child, top.names);
        if (child->m_childCount > 0)
            stack.push_back({child, 0, MemberNames(child)});
    }
    if (log)
        log->finish();
    return count;
}
