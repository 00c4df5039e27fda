// The keyed archive form of a node, as CBOR: a map of name, nameIsEditable, kind, kindIsEditable, value (leaf
// kinds only), children and valueIsEditable, children nested in the same form.
#include "model/Log.h"
#include "model/TreeNode.h"
#include "model/Utf8.h"

#include <QCborStreamReader>
#include <QCborStreamWriter>

namespace {

void writeText(QCborStreamWriter& writer, const QString& key)
{
    writer.append(key);
}

// Names and values go out as the UTF-8 they are stored in, so that nothing in them is reinterpreted.
void writeUtf8(QCborStreamWriter& writer, std::string_view text)
{
    writer.appendTextString(text.data(), qsizetype(text.size()));
}

} // namespace

QByteArray TreeNode::encode() const
{
    QByteArray bytes;
    QCborStreamWriter writer(&bytes);
    auto openNode = [&writer](const TreeNode* node) {
        const bool leafValue = node->isNumber() || node->isBoolean() || node->isString();
        const bool writesValue = leafValue && node->hasValue();
        if (!writesValue && !node->isCollection() && !node->isNull())
            BW_LOG_ERROR("encode(to:)", QStringLiteral("shouldn't reach here"));
        writer.startMap(writesValue ? 7 : 6);
        writeText(writer, QStringLiteral("name"));
        writeUtf8(writer, node->nameUtf8());
        writeText(writer, QStringLiteral("nameIsEditable"));
        writer.append(node->nameIsEditable());
        writeText(writer, QStringLiteral("kind"));
        writer.append(node->kind());
        writeText(writer, QStringLiteral("kindIsEditable"));
        writer.append(node->kindIsEditable());
        if (writesValue) {
            writeText(writer, QStringLiteral("value"));
            switch (node->valueType()) {
            case IntegerValue:
                writer.append(node->integerValue());
                break;
            case FloatValue:
                writer.append(node->floatValue());
                break;
            case BooleanValue:
                writer.append(node->boolValue());
                break;
            default:
                writeUtf8(writer, node->stringValueUtf8());
                break;
            }
        }
        writeText(writer, QStringLiteral("children"));
        writer.startArray(quint64(node->childCount()));
    };
    struct Frame
    {
        const TreeNode* node;
        qsizetype next;
    };
    std::vector<Frame> stack{{this, 0}};
    openNode(this);
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.node->childCount()) {
            writer.endArray();
            writeText(writer, QStringLiteral("valueIsEditable"));
            writer.append(top.node->valueIsEditable());
            writer.endMap();
            stack.pop_back();
            continue;
        }
        const TreeNode* child = top.node->child(top.next++);
        openNode(child);
        stack.push_back({child, 0});
    }
    return bytes;
}

namespace {

// A text string read as its UTF-8 bytes: decoding them as a whole keeps a leading U+FEFF, which is content.
std::optional<QString> readWholeString(QCborStreamReader& reader)
{
    QByteArray utf8;
    while (true) {
        const qsizetype room = std::max<qsizetype>(reader.currentStringChunkSize(), 0);
        const qsizetype start = utf8.size();
        utf8.resize(start + room);
        const auto chunk = reader.readStringChunk(utf8.data() + start, room);
        if (chunk.status == QCborStreamReader::Error)
            return std::nullopt;
        utf8.resize(start + (chunk.status == QCborStreamReader::Ok ? chunk.data : 0));
        if (chunk.status == QCborStreamReader::EndOfString)
            break;
    }
    return utf8ToQString(std::string_view(utf8.constData(), size_t(utf8.size())));
}

// A node's fields as read, applied when its map closes.
struct PendingNode
{
    TreeNode* node = nullptr;
    std::optional<QString> name;
    std::optional<bool> nameIsEditable, kindIsEditable, valueIsEditable;
    std::optional<qint64> kind;
    QVariant value;
    bool hasChildren = false;
    bool inChildren = false;
    std::vector<TreeNode*> children;
};

} // namespace

Result<OwnedTree> TreeNode::decode(const QByteArray& bytes)
{
    QCborStreamReader reader(bytes);
    QString failure;
    auto fail = [&](const QString& why) {
        failure = why;
        return false;
    };
    OwnedTree root;
    std::vector<PendingNode> stack;

    auto openNode = [&](TreeNode* parent) {
        if (!reader.isMap())
            return fail(QStringLiteral("Expected a node (a map)."));
        TreeNode* node = nullptr;
        if (!parent) {
            root = makeRoot(QString(), NodeKind::Array);
            node = root.get();
        } else {
            node = parent->store().newNode();
            node->setParent(parent);
        }
        reader.enterContainer();
        stack.push_back({});
        stack.back().node = node;
        return true;
    };
    auto readField = [&](PendingNode& pending) {
        const auto key = reader.isString() ? readWholeString(reader) : std::nullopt;
        if (!key)
            return fail(QStringLiteral("Expected a key."));
        auto readBool = [&](std::optional<bool>& into) {
            if (!reader.isBool())
                return fail(QStringLiteral("Type mismatch for \"%1\".").arg(*key));
            into = reader.toBool();
            reader.next();
            return true;
        };
        if (*key == QLatin1String("name")) {
            pending.name = reader.isString() ? readWholeString(reader) : std::nullopt;
            return pending.name ? true : fail(QStringLiteral("Type mismatch for \"name\"."));
        }
        if (*key == QLatin1String("nameIsEditable"))
            return readBool(pending.nameIsEditable);
        if (*key == QLatin1String("kindIsEditable"))
            return readBool(pending.kindIsEditable);
        if (*key == QLatin1String("valueIsEditable"))
            return readBool(pending.valueIsEditable);
        if (*key == QLatin1String("kind")) {
            if (!reader.isInteger())
                return fail(QStringLiteral("Type mismatch for \"kind\"."));
            pending.kind = reader.toInteger();
            reader.next();
            return true;
        }
        if (*key == QLatin1String("value")) {
            if (reader.isString()) {
                const auto text = readWholeString(reader);
                if (!text)
                    return fail(QStringLiteral("Unreadable \"value\"."));
                pending.value = *text;
            } else if (reader.isInteger()) {
                pending.value = qlonglong(reader.toInteger());
                reader.next();
            } else if (reader.isDouble()) {
                pending.value = reader.toDouble();
                reader.next();
            } else if (reader.isBool()) {
                pending.value = reader.toBool();
                reader.next();
            } else {
                return fail(QStringLiteral("Type mismatch for \"value\"."));
            }
            return true;
        }
        if (*key == QLatin1String("children")) {
            if (!reader.isArray())
                return fail(QStringLiteral("Type mismatch for \"children\"."));
            reader.enterContainer();
            pending.hasChildren = true;
            pending.inChildren = true;
            return true;
        }
        reader.next(); // a key this version does not know
        return true;
    };
    auto closeNode = [&](PendingNode& pending) {
        const char* missing = !pending.name              ? "name"
                              : !pending.nameIsEditable  ? "nameIsEditable"
                              : !pending.kind            ? "kind"
                              : !pending.kindIsEditable  ? "kindIsEditable"
                              : !pending.hasChildren     ? "children"
                              : !pending.valueIsEditable ? "valueIsEditable"
                                                         : nullptr;
        if (missing)
            return fail(QStringLiteral("Missing key \"%1\".").arg(QLatin1String(missing)));
        if (*pending.kind < INT8_MIN || *pending.kind > INT8_MAX)
            return fail(QStringLiteral("Kind %1 is out of range.").arg(*pending.kind));
        TreeNode* node = pending.node;
        node->setName(*pending.name);
        node->setNameIsEditable(*pending.nameIsEditable);
        node->setKind(*pending.kind);
        node->setKindIsEditable(*pending.kindIsEditable);
        node->setValueIsEditable(*pending.valueIsEditable);
        const QVariant& value = pending.value;
        auto mismatch = [&] { return fail(QStringLiteral("Type mismatch for \"value\".")); };
        switch (*pending.kind) {
        case qint64(NodeKind::Integer):
            if (value.typeId() != QMetaType::LongLong)
                return !value.isValid() ? fail(QStringLiteral("Missing key \"value\".")) : mismatch();
            node->setIntegerValue(value.toLongLong());
            break;
        case qint64(NodeKind::Float):
            if (value.typeId() != QMetaType::Double && value.typeId() != QMetaType::LongLong)
                return !value.isValid() ? fail(QStringLiteral("Missing key \"value\".")) : mismatch();
            node->setFloatValue(value.toDouble());
            break;
        case qint64(NodeKind::Boolean):
            if (value.typeId() != QMetaType::Bool)
                return !value.isValid() ? fail(QStringLiteral("Missing key \"value\".")) : mismatch();
            node->setBoolValue(value.toBool());
            break;
        case qint64(NodeKind::String): {
            if (value.typeId() != QMetaType::QString)
                return !value.isValid() ? fail(QStringLiteral("Missing key \"value\".")) : mismatch();
            const QByteArray utf8 = value.toString().toUtf8();
            node->setStringValue(std::string_view(utf8.constData(), size_t(utf8.size())));
            break;
        }
        case qint64(NodeKind::Null):
            node->setNullValue();
            break;
        case qint64(NodeKind::Array):
        case qint64(NodeKind::Object):
            break;
        default:
            BW_LOG_ERROR("init(from:)", QStringLiteral("shouldn't reach here"));
            break;
        }
        node->assignChildren(pending.children);
        return true;
    };

    bool ok = openNode(nullptr);
    while (ok && !stack.empty()) {
        PendingNode& top = stack.back();
        if (top.inChildren) {
            if (reader.hasNext()) {
                ok = openNode(top.node);
                continue;
            }
            reader.leaveContainer();
            top.inChildren = false;
            continue;
        }
        if (reader.hasNext()) {
            ok = readField(top);
            continue;
        }
        reader.leaveContainer();
        ok = closeNode(top);
        if (!ok)
            break;
        TreeNode* done = top.node;
        stack.pop_back();
        if (!stack.empty())
            stack.back().children.push_back(done);
    }
    if (ok && reader.lastError() != QCborError::NoError)
        ok = fail(reader.lastError().toString());
    if (ok && reader.currentOffset() < bytes.size())
        ok = fail(QStringLiteral("Unexpected data after the archived tree."));
    if (!ok) {
        if (failure.isEmpty())
            failure = reader.lastError().toString();
        return Error(Error::Code::BadArchive, failure);
    }
    return root;
}
