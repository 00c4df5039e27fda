// Changes of whole lines to a CodeMirror document.

import { Text } from '@codemirror/state';

const lineBreak = Text.of(['', '']);

// `lines` followed by `more`, on a line of their own.
export function appendLines(lines, more) {
    return lines.append(lineBreak).append(more);
}

// The change that replaces lines [from, from + removed) (0-based) with the lines of `inserted` (a Text, or null
// for none); null when nothing is removed or inserted.
export function replaceLines(doc, from, removed, inserted) {
    const firstOld = from + 1;             // first replaced line, 1-based
    const lastOld = from + removed;        // last replaced line; firstOld - 1 when none is removed
    if (removed === 0 && !inserted)
        return null;
    if (lastOld >= firstOld) {
        if (inserted)
            return { from: doc.line(firstOld).from, to: doc.line(lastOld).to, insert: inserted };
        // Whole lines go, with one of the line breaks around them.
        if (lastOld < doc.lines)
            return { from: doc.line(firstOld).from, to: doc.line(lastOld + 1).from };
        return { from: doc.line(firstOld - 1).to, to: doc.line(lastOld).to };
    }
    if (firstOld <= doc.lines)
        return { from: doc.line(firstOld).from, insert: inserted.append(lineBreak) };
    return { from: doc.length, insert: lineBreak.append(inserted) };
}
