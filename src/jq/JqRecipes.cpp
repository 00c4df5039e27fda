#include "jq/JqRecipes.h"

#include "model/Settings.h"

#include <QRegularExpression>

namespace JqRecipes {

const std::vector<JQRecipeGroup>& jqRecipeGroups()
{
    static const std::vector<JQRecipeGroup> groups{
        {QStringLiteral("Navigate"),
         {
             {QStringLiteral("Root: ."), QStringLiteral(".")},
             {QStringLiteral("Key: .<field>"), QStringLiteral(".<field>")},
             {QStringLiteral("Nested: .<field>.<sub>"), QStringLiteral(".<field>.<sub>")},
             {QStringLiteral("Optional key: .<field>?"), QStringLiteral(".<field>?")},
             {QStringLiteral("All array items: .[]"), QStringLiteral(".[]")},
             {QStringLiteral("Array index: .[<n>]"), QStringLiteral(".[<n>]")},
             {QStringLiteral("Array slice: .[<from>:<to>]"), QStringLiteral(".[<from>:<to>]")},
             {QStringLiteral("Recursive descent: .."), QStringLiteral("..")},
             {QStringLiteral("Recursive find key: .. | .<field>?"), QStringLiteral(".. | .<field>?")},
         }},
        {QStringLiteral("Filter"),
         {
             {QStringLiteral("Equals: select(.x == v)"), QStringLiteral("select(.<field> == <value>)")},
             {QStringLiteral("Not equals: select(.x != v)"), QStringLiteral("select(.<field> != <value>)")},
             {QStringLiteral("Greater: select(.x > v)"), QStringLiteral("select(.<field> > <value>)")},
             {QStringLiteral("Less: select(.x < v)"), QStringLiteral("select(.<field> < <value>)")},
             {QStringLiteral("Between: select(.x >= a and .x <= b)"),
              QStringLiteral("select(.<field> >= <a> and .<field> <= <b>)")},
             {QStringLiteral("Contains substring"), QStringLiteral("select(.<field> | contains(\"<text>\"))")},
             {QStringLiteral("Starts with"), QStringLiteral("select(.<field> | startswith(\"<prefix>\"))")},
             {QStringLiteral("Ends with"), QStringLiteral("select(.<field> | endswith(\"<suffix>\"))")},
             {QStringLiteral("Regex: select(.x | test(...))"),
              QStringLiteral("select(.<field> | test(\"<pattern>\"))")},
             {QStringLiteral("Has key: select(has(\"k\"))"), QStringLiteral("select(has(\"<key>\"))")},
             {QStringLiteral("Non-null: select(.x != null)"), QStringLiteral("select(.<field> != null)")},
             {QStringLiteral("In array: .[] | select(...)"), QStringLiteral(".[] | select(.<field> == <value>)")},
             {QStringLiteral("Keep matching: map(select(...))"), QStringLiteral("map(select(.<field> == <value>))")},
         }},
        {QStringLiteral("Transform"),
         {
             {QStringLiteral("Pluck field: map(.x)"), QStringLiteral("map(.<field>)")},
             {QStringLiteral("Rename field"), QStringLiteral("map({<new>: .<old>})")},
             {QStringLiteral("Pick fields: {a, b}"), QStringLiteral("map({<a>, <b>})")},
             {QStringLiteral("Add / merge field"), QStringLiteral(". + {<field>: <value>}")},
             {QStringLiteral("Delete field: del(.x)"), QStringLiteral("del(.<field>)")},
             {QStringLiteral("Delete many: del(.a, .b)"), QStringLiteral("del(.<a>, .<b>)")},
             {QStringLiteral("Update in place: .x |= f"), QStringLiteral(".<field> |= <transform>")},
             {QStringLiteral("to_entries"), QStringLiteral("to_entries")},
             {QStringLiteral("from_entries"), QStringLiteral("from_entries")},
             {QStringLiteral("Rename keys: with_entries"), QStringLiteral("with_entries(.key |= <transform>)")},
             {QStringLiteral("Merge two objects: .a * .b"), QStringLiteral(".<a> * .<b>")},
         }},
        {QStringLiteral("Aggregate"),
         {
             {QStringLiteral("length"), QStringLiteral("length")},
             {QStringLiteral("keys"), QStringLiteral("keys")},
             {QStringLiteral("values"), QStringLiteral("values")},
             {QStringLiteral("add (sum / concat)"), QStringLiteral("add")},
             {QStringLiteral("min / max"), QStringLiteral("min")},
             {QStringLiteral("min_by / max_by"), QStringLiteral("max_by(.<field>)")},
             {QStringLiteral("unique"), QStringLiteral("unique")},
             {QStringLiteral("unique_by: .x"), QStringLiteral("unique_by(.<field>)")},
             {QStringLiteral("sort"), QStringLiteral("sort")},
             {QStringLiteral("sort_by: .x"), QStringLiteral("sort_by(.<field>)")},
             {QStringLiteral("group_by: .x"), QStringLiteral("group_by(.<field>)")},
             {QStringLiteral("Group counts"),
              QStringLiteral("group_by(.<field>) | map({key: .[0].<field>, count: length})")},
             {QStringLiteral("Count matching"), QStringLiteral("map(select(.<field> == <value>)) | length")},
             {QStringLiteral("Average: add / length"), QStringLiteral("(map(.<field>) | add) / length")},
         }},
        {QStringLiteral("Strings"),
         {
             {QStringLiteral("Uppercase"), QStringLiteral("ascii_upcase")},
             {QStringLiteral("Lowercase"), QStringLiteral("ascii_downcase")},
             {QStringLiteral("Split"), QStringLiteral("split(\"<sep>\")")},
             {QStringLiteral("Join"), QStringLiteral("join(\"<sep>\")")},
             {QStringLiteral("tostring"), QStringLiteral("tostring")},
             {QStringLiteral("tonumber"), QStringLiteral("tonumber")},
             {QStringLiteral("Length of string"), QStringLiteral("length")},
             {QStringLiteral("Regex test"), QStringLiteral("test(\"<pattern>\")")},
             {QStringLiteral("Regex capture"), QStringLiteral("capture(\"<pattern>\")")},
             {QStringLiteral("gsub: replace all"), QStringLiteral("gsub(\"<pattern>\"; \"<replacement>\")")},
             {QStringLiteral("ltrimstr / rtrimstr"), QStringLiteral("ltrimstr(\"<prefix>\")")},
         }},
        {QStringLiteral("Numbers"),
         {
             {QStringLiteral("floor"), QStringLiteral("floor")},
             {QStringLiteral("ceil"), QStringLiteral("ceil")},
             {QStringLiteral("round"), QStringLiteral("round")},
             {QStringLiteral("abs: fabs"), QStringLiteral("fabs")},
             {QStringLiteral("Power: pow(.; n)"), QStringLiteral("pow(.; <n>)")},
             {QStringLiteral("Square root"), QStringLiteral("sqrt")},
         }},
        {QStringLiteral("Reshape"),
         {
             {QStringLiteral("Object literal: {a, b}"), QStringLiteral("{<a>, <b>}")},
             {QStringLiteral("Custom object: {a: .x, b: .y}"), QStringLiteral("{<a>: .<x>, <b>: .<y>}")},
             {QStringLiteral("Flatten arrays"), QStringLiteral("flatten")},
             {QStringLiteral("Flatten one level"), QStringLiteral("flatten(1)")},
             {QStringLiteral("Wrap in array: [.]"), QStringLiteral("[.]")},
             {QStringLiteral("Paths to all leaves"),
              QStringLiteral("[paths(type != \"object\" and type != \"array\")]")},
             {QStringLiteral("Leaf paths to scalars"), QStringLiteral("paths(scalars)")},
         }},
        {QStringLiteral("Pipes & Combos"),
         {
             {QStringLiteral("Pipe: A | B"), QStringLiteral("<A> | <B>")},
             {QStringLiteral("Top-N by field"), QStringLiteral("sort_by(.<field>) | reverse | .[0:<n>]")},
             {QStringLiteral("Distinct values of field"), QStringLiteral("map(.<field>) | unique")},
             {QStringLiteral("All keys of objects in array"), QStringLiteral("map(keys) | add | unique")},
             {QStringLiteral("Flatten object of arrays"),
              QStringLiteral("to_entries | map(.value[] + {<key>: .key}) | flatten")},
             {QStringLiteral("Partition by predicate"), QStringLiteral("group_by(.<field> == <value>)")},
         }},
    };
    return groups;
}

QStringList recentRecipes()
{
    return Settings::instance().jqRecentRecipes();
}

void recordRecent(const QString& templateText)
{
    QStringList recent = recentRecipes();
    recent.removeAll(templateText);
    recent.prepend(templateText);
    while (recent.size() > maxRecentRecipes)
        recent.removeLast();
    Settings::instance().setJqRecentRecipes(recent);
}

Selection placeholderSelection(const QString& templateText)
{
    static const QRegularExpression placeholder(QStringLiteral("<[^>]+>"));
    const QRegularExpressionMatch match = placeholder.match(templateText);
    if (!match.hasMatch())
        return {int(templateText.size()), 0};
    return {int(match.capturedStart()), int(match.capturedLength())};
}

} // namespace JqRecipes
