// The editing rules of a node: what each setter does to kind, value and children, and what it announces.
#include "model/Log.h"
#include "model/Notifications.h"
#include "model/NumberText.h"
#include "model/TreeNode.h"

#include <QSet>
#include <cmath>

namespace {

const QString kNewKey = QStringLiteral("New Key");
const QString kNewValue = QStringLiteral("New Value");

std::string_view utf8View(const QByteArray& bytes)
{
    return {bytes.constData(), size_t(bytes.size())};
}

} // namespace

void TreeNode::announceEdit()
{
    NodeStore& tree = store();
    ++tree.generation;
    tree.notifications().postTreeDataChanged();
}

void TreeNode::setNameLabel(const QString& text)
{
    setName(text);
    announceEdit();
}

void TreeNode::setChildren(std::span<TreeNode* const> children)
{
    assignChildren(children);
    announceEdit();
}

void TreeNode::detachChildren()
{
    // The new children go into a list of their own: the dropped ones stay listed where a kept state of this
    // node points, however the node is edited afterwards.
    m_children = nullptr;
    m_childCount = 0;
    announceEdit();
}

void TreeNode::setValueLabel(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    switch (m_kind) {
    case qint64(NodeKind::Integer):
        if (const auto integer = NumberText::parseInteger(utf8View(utf8))) {
            setIntegerValue(*integer);
        } else {
            // Anything that is not an integer makes the node a float.
            setKind(qint64(NodeKind::Float));
            if (const auto real = NumberText::parseFloat(utf8View(utf8)))
                setFloatValue(*real);
            else
                clearValue();
        }
        break;
    case qint64(NodeKind::Float):
        if (const auto real = NumberText::parseFloat(utf8View(utf8)))
            setFloatValue(*real);
        else
            clearValue();
        break;
    case qint64(NodeKind::Boolean):
        if (text == QLatin1String("true"))
            setBoolValue(true);
        else if (text == QLatin1String("false"))
            setBoolValue(false);
        else
            clearValue();
        break;
    case qint64(NodeKind::String):
        setStringValue(utf8View(utf8));
        break;
    default:
        // Collections, null and unknown kinds have no typed value to set.
        break;
    }
    announceEdit();
}

bool TreeNode::validateValue(QVariant& value, const QString& key) const
{
    if (key != QLatin1String("valueLabel") || !value.isValid() || value.typeId() != QMetaType::QString)
        return true;
    const QString text = value.toString();
    // Infinite and NaN numbers count as unparsable: JSON cannot hold them, so the document could not be saved.
    switch (m_kind) {
    case qint64(NodeKind::Integer):
        if (!NumberText::parseInteger(text) && !NumberText::parseFiniteFloat(text))
            value = QStringLiteral("0");
        break;
    case qint64(NodeKind::Float):
        if (!NumberText::parseFiniteFloat(text))
            value = QStringLiteral("0.0");
        break;
    case qint64(NodeKind::Boolean):
        if (text != QLatin1String("true") && text != QLatin1String("false"))
            value = QStringLiteral("false");
        break;
    default:
        break;
    }
    return true;
}

void TreeNode::setKindLabel(const QString& label)
{
    const qint64 oldKind = m_kind;
    const bool wasCollection = isCollection();
    Notifications& notices = notifications();

    if (label == QLatin1String("Array") || label == QLatin1String("Object")) {
        setKind(qint64(label == QLatin1String("Array") ? NodeKind::Array : NodeKind::Object));
        clearValue();
        emit notices.filteredChildrenAboutToChange(this);
        detachChildren();
        insertNewChild(-1);
        emit notices.filteredChildrenChanged(this);
        notices.postReloadCurrentRow();
        return;
    }

    if (label == QLatin1String("Number")) {
        std::optional<qint64> integer;
        std::optional<double> real;
        if (oldKind == qint64(NodeKind::String) && hasValue()) {
            const auto text = stringValueUtf8();
            integer = NumberText::parseInteger(text);
            if (!integer) {
                real = NumberText::parseFloat(text);
                // "inf" or "nan" would make a number JSON cannot hold.
                if (real && !std::isfinite(*real))
                    real.reset();
            }
        }
        if (real) {
            setKind(qint64(NodeKind::Float));
            setFloatValue(*real);
        } else {
            setKind(qint64(NodeKind::Integer));
            setIntegerValue(integer.value_or(0));
        }
    } else if (label == QLatin1String("Boolean")) {
        const bool on = oldKind == qint64(NodeKind::String) && hasValue() && stringValueUtf8() == "true";
        setKind(qint64(NodeKind::Boolean));
        setBoolValue(on);
    } else if (label == QLatin1String("String")) {
        QString text;
        switch (oldKind) {
        case qint64(NodeKind::Integer):
        case qint64(NodeKind::Float):
        case qint64(NodeKind::Boolean):
            text = leafValueText();
            break;
        default:
            text = QStringLiteral("Value");
            break;
        }
        setKind(qint64(NodeKind::String));
        const QByteArray utf8 = text.toUtf8();
        setStringValue(utf8View(utf8));
    } else if (label == QLatin1String("Null")) {
        setKind(qint64(NodeKind::Null));
        setNullValue();
    } else {
        BW_LOG_ERROR("kindLabel", QStringLiteral("shouldn't reach here"));
        notices.postReloadCurrentRow();
        return;
    }

    if (wasCollection) {
        emit notices.filteredChildrenAboutToChange(this);
        detachChildren();
        emit notices.filteredChildrenChanged(this);
    } else {
        // A change between two leaf kinds changes the document's JSON too, so it is announced like any
        // other edit: otherwise the text view and the unsaved mark would miss it.
        announceEdit();
    }
    notices.postReloadCurrentRow();
}

TreeNode* TreeNode::insertNewChild(qsizetype index)
{
    if (index != -1 && (index < 0 || index > childCount()))
        return nullptr;
    TreeNode* node = store().newNode();
    node->setParent(this);
    node->setKind(qint64(NodeKind::String));
    const QByteArray value = kNewValue.toUtf8();
    node->setStringValue(utf8View(value));
    if (!isArray())
        node->setName(isObject() ? uniqueChildName(kNewKey) : kNewKey);

    std::vector<TreeNode*> list(children().begin(), children().end());
    list.insert(index == -1 ? list.end() : list.begin() + index, node);
    setChildren(list);
    return node;
}

QString TreeNode::uniqueChildName(const QString& base) const
{
    const QByteArray baseUtf8 = base.toUtf8();
    QSet<QString> taken;
    for (const TreeNode* node : children()) {
        if (node->nameUtf8().starts_with(utf8View(baseUtf8)))
            taken.insert(node->name());
    }
    if (!taken.contains(base))
        return base;
    for (qint64 n = 2;; ++n) {
        const QString candidate = base + QLatin1Char(' ') + QString::number(n);
        if (!taken.contains(candidate))
            return candidate;
    }
}
