#pragma once

// Reading property lists back with an independent reader: Python's plistlib.

#include <QProcess>
#include <QString>

// Reads the property list with plistlib and compares it, types included, with json.loads of the JSON file;
// prints "ok" or the first difference.
inline const char* const kPlistCompareScript =
    "import json, plistlib, sys\n"
    "def diff(a, b, path):\n"
    "    if type(a) is not type(b):\n"
    "        return '%s: %s != %s' % (path, ascii(a), ascii(b))\n"
    "    if isinstance(a, dict):\n"
    "        if sorted(a) != sorted(b):\n"
    "            return '%s: keys %s != %s' % (path, ascii(sorted(a)), ascii(sorted(b)))\n"
    "        return next((d for d in (diff(a[k], b[k], path + '.' + ascii(k)) for k in a) if d), None)\n"
    "    if isinstance(a, list):\n"
    "        if len(a) != len(b):\n"
    "            return '%s: %d != %d items' % (path, len(a), len(b))\n"
    "        return next((d for d in (diff(x, y, '%s[%d]' % (path, i)) for i, (x, y) in enumerate(zip(a, b))) if d), "
    "None)\n"
    "    return None if a == b else '%s: %s != %s' % (path, ascii(a), ascii(b))\n"
    "fmt = plistlib.FMT_XML if sys.argv[3] == 'xml' else plistlib.FMT_BINARY\n"
    "with open(sys.argv[1], 'rb') as f:\n"
    "    plist = plistlib.load(f, fmt=fmt)\n"
    "with open(sys.argv[2], 'rb') as f:\n"
    "    document = json.loads(f.read().decode('utf-8'))\n"
    "print(diff(plist, document, 'root') or 'ok')\n";

// plistlib's verdict on the property list file against the JSON file: "ok", the difference, or what went wrong.
inline QString plistlibVerdictForFiles(const QString& plistPath, const QString& jsonPath, bool xml)
{
    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromLatin1(kPlistCompareScript), plistPath,
                                             jsonPath, xml ? QStringLiteral("xml") : QStringLiteral("binary")});
    if (!python.waitForFinished(-1))
        return QStringLiteral("python3 did not run");
    return QString::fromUtf8(python.readAllStandardOutput()).trimmed() +
           QString::fromUtf8(python.readAllStandardError()).trimmed();
}
