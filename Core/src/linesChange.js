// The smallest change of whole lines that turns a CodeMirror document into the given lines: common leading
// and trailing lines are kept. Returns null when nothing differs.

import { Text } from '@codemirror/state';

export function linesChange(doc, lines) {
    const old = [];
    for (const line of doc.iterLines())
        old.push(line);
    const limit = Math.min(old.length, lines.length);
    let head = 0;
    while (head < limit && old[head] === lines[head])
        ++head;
    let tail = 0;
    while (tail < limit - head && old[old.length - 1 - tail] === lines[lines.length - 1 - tail])
        ++tail;
    if (head === old.length && head === lines.length)
        return null;

    const inserted = lines.slice(head, lines.length - tail);
    const firstOld = head + 1;             // first differing line of the old document, 1-based
    const lastOld = old.length - tail;     // last differing line; firstOld - 1 when none is removed
    if (lastOld >= firstOld) {
        if (inserted.length > 0)
            return { from: doc.line(firstOld).from, to: doc.line(lastOld).to, insert: Text.of(inserted) };
        // Whole lines go, with one of the line breaks around them.
        if (lastOld < doc.lines)
            return { from: doc.line(firstOld).from, to: doc.line(lastOld + 1).from };
        return { from: doc.line(firstOld - 1).to, to: doc.line(lastOld).to };
    }
    if (firstOld <= doc.lines)
        return { from: doc.line(firstOld).from, insert: Text.of([...inserted, '']) };
    return { from: doc.length, insert: Text.of(['', ...inserted]) };
}
