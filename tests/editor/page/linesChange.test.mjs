import { test, describe } from 'node:test';
import assert from 'node:assert/strict';
import { Text } from '../../../Core/node_modules/@codemirror/state/dist/index.js';
import { linesChange } from '../../../Core/src/linesChange.js';

function apply(doc, change) {
    const insert = typeof change.insert === 'string' ? Text.of(change.insert.split('\n')) : change.insert ?? Text.empty;
    return doc.replace(change.from, change.to ?? change.from, insert);
}

// Asserts that the change turns oldLines into newLines and returns it for further checks.
function check(oldLines, newLines) {
    const doc = Text.of(oldLines);
    const change = linesChange(doc, newLines);
    assert.notEqual(change, null, 'a change is expected');
    assert.ok(change.from >= 0 && (change.to ?? change.from) <= doc.length && change.from <= (change.to ?? change.from));
    assert.deepEqual(apply(doc, change).toJSON(), newLines);
    return change;
}

describe('linesChange', () => {
    test('returns null when the lines are the same', () => {
        assert.equal(linesChange(Text.of(['a', 'b', '']), ['a', 'b', '']), null);
        assert.equal(linesChange(Text.of(['']), ['']), null);
    });

    test('replaces only the differing lines in the middle', () => {
        const change = check(['{', '  "a": 1,', '  "b": 2', '}'], ['{', '  "a": 10,', '  "b": 2', '}']);
        // The untouched lines around the edit stay out of the change.
        assert.equal(change.from, 2);
        assert.equal(change.to, 11);
        assert.deepEqual(change.insert.toJSON(), ['  "a": 10,']);
    });

    test('inserts lines at the start, in the middle and at the end', () => {
        check(['b', 'c'], ['a', 'b', 'c']);
        check(['a', 'c'], ['a', 'b1', 'b2', 'c']);
        check(['a', 'b'], ['a', 'b', 'c']);
        check(['a', 'b'], ['a', 'b', '']);
        check(['a'], ['', 'a']);
    });

    test('removes lines at the start, in the middle and at the end', () => {
        check(['a', 'b', 'c'], ['b', 'c']);
        check(['a', 'b1', 'b2', 'c'], ['a', 'c']);
        check(['a', 'b', 'c'], ['a', 'b']);
        check(['a', 'b', ''], ['a', 'b']);
        check(['', 'a'], ['a']);
        check(['a', 'a', 'a'], ['a']);
    });

    test('fills an empty document and shrinks to a single line', () => {
        check([''], ['{', '}']);
        check([''], ['x']);
        check(['{', '  "a": 1', '}'], ['[]']);
        check(['{', '  "a": 1', '}'], ['']);
        check(['a', 'b'], ['b']);
    });

    test('keeps repeated lines right when the boundaries are ambiguous', () => {
        check(['x', 'x'], ['x', 'x', 'x']);
        check(['x', 'y', 'x'], ['x', 'x']);
        check(['a', 'b', 'a', 'b'], ['a', 'b']);
    });

    test('turns random line arrays into each other', () => {
        let seed = 12345;
        const next = () => {
            seed = (Math.imul(seed, 1103515245) + 12345) >>> 0;
            return seed / 2 ** 32;
        };
        // Few distinct lines so prefixes and suffixes often match.
        const words = ['', 'a', 'b', '{', '}', '  "k": 1,'];
        const lines = () => Array.from({ length: 1 + Math.floor(next() * 6) }, () => words[Math.floor(next() * words.length)]);
        for (let n = 0; n < 500; ++n) {
            const oldLines = lines();
            const newLines = next() < 0.1 ? [...oldLines] : lines();
            const doc = Text.of(oldLines);
            const change = linesChange(doc, newLines);
            const same = oldLines.length === newLines.length && oldLines.every((line, k) => line === newLines[k]);
            if (same) {
                assert.equal(change, null);
                continue;
            }
            const label = `${JSON.stringify(oldLines)} -> ${JSON.stringify(newLines)}`;
            assert.deepEqual(apply(doc, change).toJSON(), newLines, label);
            // Lines shared at the start are never part of the change.
            let head = 0;
            while (head < Math.min(oldLines.length, newLines.length) - 1 && oldLines[head] === newLines[head])
                ++head;
            assert.ok(change.from >= doc.line(head + 1).from - 1, label);
        }
    });
});
