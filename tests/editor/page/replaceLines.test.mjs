import { test } from 'node:test';
import assert from 'node:assert/strict';
import { Text } from '../../../Core/node_modules/@codemirror/state/dist/index.js';
import { appendLines, replaceLines } from '../../../Core/src/linesChange.js';

// The page's half of a push: lines replaced in the document exactly as in an array, whatever the run's place
// and length, including runs at either end, runs that remove or add nothing, and empty lines.
test('replaceLines replaces a run of lines as splice would', () => {
    let seed = 12345;
    const next = () => {
        seed = (Math.imul(seed, 1103515245) + 12345) >>> 0;
        return seed / 2 ** 32;
    };
    const words = ['', 'a', '{', '  "k": 1,'];
    const someLines = min => Array.from({ length: min + Math.floor(next() * 5) }, () => words[Math.floor(next() * words.length)]);
    for (let n = 0; n < 1000; ++n) {
        const oldLines = someLines(1);
        const from = Math.floor(next() * (oldLines.length + 1));
        const removed = Math.floor(next() * (oldLines.length - from + 1));
        const inserted = next() < 0.3 ? [] : someLines(1);
        const expected = [...oldLines];
        expected.splice(from, removed, ...inserted);
        // A document has at least one line: removing every line without adding any is never asked for.
        if (expected.length === 0)
            continue;
        const doc = Text.of(oldLines);
        const change = replaceLines(doc, from, removed, inserted.length ? Text.of(inserted) : null);
        const label = `${JSON.stringify(oldLines)} [${from}, +${removed}) <- ${JSON.stringify(inserted)}`;
        const result = change ? doc.replace(change.from, change.to ?? change.from, change.insert ?? Text.empty) : doc;
        assert.deepEqual(result.toJSON(), expected, label);
    }
});

test('appendLines puts the lines after on lines of their own', () => {
    assert.deepEqual(appendLines(Text.of(['a', '']), Text.of(['', 'b'])).toJSON(), ['a', '', '', 'b']);
});
