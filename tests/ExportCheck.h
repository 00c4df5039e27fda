#pragma once

// Reading the XML and YAML exports back with independent readers: Python's ElementTree, and ruamel.yaml and
// PyYAML from Debian's python3-ruamel.yaml and python3-yaml (so Debian's own Python runs them).

#include <QProcess>
#include <QString>

// Rebuilds the JSON value from the XML export's shape: <root>; a member's element is named after it, or is
// <member name="...">; array items are <item>; every value but a string carries type="...".
inline const char* const kXmlReadBackScript =
    "import json, sys, xml.etree.ElementTree as ET\n"
    "def value(e):\n"
    "    t = e.get('type')\n"
    "    if t == 'object':\n"
    "        names = [c.get('name') if c.tag == 'member' else c.tag for c in e]\n"
    "        if len(set(names)) != len(names): raise ValueError('repeated member')\n"
    "        return dict(zip(names, (value(c) for c in e)))\n"
    "    if t == 'array':\n"
    "        if any(c.tag != 'item' for c in e): raise ValueError('array child not an item')\n"
    "        return [value(c) for c in e]\n"
    "    if t == 'number': return json.loads(e.text)\n"
    "    if t == 'boolean': return {'true': True, 'false': False}[e.text]\n"
    "    if t == 'null': return None\n"
    "    if t is not None or len(e): raise ValueError('unexpected element ' + e.tag)\n"
    "    return e.text or ''\n"
    "root = ET.parse(sys.argv[1]).getroot()\n"
    "if root.tag != 'root': raise ValueError('root element is ' + root.tag)\n"
    "got = value(root)\n";

inline const char* const kYamlReadBackScript =
    "import sys\n"
    "from ruamel.yaml import YAML\n"
    "with open(sys.argv[1], encoding='utf-8') as f:\n"
    "    got = YAML(typ='safe', pure=True).load(f)\n";

// PyYAML reads YAML 1.1, as many configuration loaders do.
inline const char* const kYaml11ReadBackScript =
    "import sys, yaml\n"
    "with open(sys.argv[1], encoding='utf-8') as f:\n"
    "    got = yaml.safe_load(f)\n";

// Compares `got` with the JSON file, numbers by value and integers exactly.
inline const char* const kCompareWithJson =
    "import json\n"
    "with open(sys.argv[2], encoding='utf-8') as f:\n"
    "    expected = json.load(f)\n"
    "print('same' if got == expected and json.dumps(got, sort_keys=True) == json.dumps(expected, sort_keys=True)\n"
    "      else 'different: ' + ascii(got))\n";

// "same" when the exported file reads back as the JSON file's value; otherwise the difference or the error.
// YAML is read by ruamel.yaml (YAML 1.2), or with `yaml11` by PyYAML.
inline QString exportReadBackVerdict(bool xml, const QString& exportedPath, const QString& jsonPath, bool yaml11 = false)
{
    QProcess python;
    const char* reader = xml ? kXmlReadBackScript : yaml11 ? kYaml11ReadBackScript : kYamlReadBackScript;
    const QString script = QString::fromUtf8(reader) + QString::fromUtf8(kCompareWithJson);
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script, exportedPath, jsonPath});
    if (!python.waitForFinished(60'000))
        return QStringLiteral("python3 did not finish");
    return QString::fromUtf8(python.readAllStandardOutput()).trimmed() +
           QString::fromUtf8(python.readAllStandardError()).trimmed();
}
