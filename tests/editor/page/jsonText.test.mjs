import { test, describe } from 'node:test';
import assert from 'node:assert/strict';
import { prettyLines, prettyText, jsonError, MAX_DEPTH } from '../../../Core/src/jsonText.js';

// Small deterministic generator so failures reproduce.
function random(seed) {
    return () => {
        seed = (seed + 0x6d2b79f5) | 0;
        let t = Math.imul(seed ^ (seed >>> 15), 1 | seed);
        t = (t + Math.imul(t ^ (t >>> 7), 61 | t)) ^ t;
        return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
    };
}

function randomValue(next, depth = 0) {
    const pick = items => items[Math.floor(next() * items.length)];
    const kind = depth > 3 ? Math.floor(next() * 4) : Math.floor(next() * 6);
    switch (kind) {
    case 0: return pick([0, -1, 3.5, 1e21, 123456789, -0.25]);
    case 1: return pick(['', 'a', 'x y', '{"[,:]}', 'q"uo\\te', '\u2028\n\t', 'é😀']);
    case 2: return pick([true, false]);
    case 3: return null;
    case 4: return Array.from({ length: Math.floor(next() * 4) }, () => randomValue(next, depth + 1));
    default: {
        const object = {};
        for (let n = Math.floor(next() * 4); n > 0; --n)
            object[pick(['a', 'b', 'c d', '', 'é', '"k"'])] = randomValue(next, depth + 1);
        return object;
    }
    }
}

// Compact JSON with random whitespace between tokens (string contents are left alone).
function spaced(value, next) {
    const ws = () => [' ', '\n', '\r\n', '\t', ''][Math.floor(next() * 5)];
    const json = JSON.stringify(value);
    let out = '';
    for (let i = 0; i < json.length; ++i) {
        if (json[i] === '"') {
            let end = i + 1;
            while (json[end] !== '"')
                end += json[end] === '\\' ? 2 : 1;
            out += ws() + json.slice(i, end + 1) + ws();
            i = end;
        } else if ('{}[],:'.includes(json[i])) {
            out += ws() + json[i] + ws();
        } else {
            out += json[i];
        }
    }
    return out;
}

describe('prettyLines', () => {
    test('indents by two spaces and keeps empty collections on one line', () => {
        assert.deepEqual(prettyLines('{"a":1,"b":[true,{}],"c":[[],{"d":[2]}]}'), [
            '{', '  "a": 1,', '  "b": [', '    true,', '    {}', '  ],', '  "c": [', '    [],', '    {',
            '      "d": [', '        2', '      ]', '    }', '  ]', '}',
        ]);
        assert.deepEqual(prettyLines(' { \n } '), ['{}']);
        assert.deepEqual(prettyLines('[ \t\r\n]'), ['[]']);
    });

    test('copies number and string tokens exactly', () => {
        const text = '[9007199254740993,-0,1.0E+400,0.10,1e-7,"a\\"b","\\\\","\\u2028","{x:[1,2]}","\\\\\\""]';
        assert.deepEqual(prettyLines(text), [
            '[', '  9007199254740993,', '  -0,', '  1.0E+400,', '  0.10,', '  1e-7,', '  "a\\"b",', '  "\\\\",',
            '  "\\u2028",', '  "{x:[1,2]}",', '  "\\\\\\""', ']',
        ]);
        assert.deepEqual(prettyLines('{"a , b":"c : d",  "e\\\\":"  f  "}'),
            ['{', '  "a , b": "c : d",', '  "e\\\\": "  f  "', '}']);
    });

    test('drops whitespace between tokens and matches the engine layout', () => {
        const next = random(7);
        for (let n = 0; n < 300; ++n) {
            const value = randomValue(next);
            const text = spaced(value, next);
            const pretty = prettyText(text);
            // JSON.stringify with two spaces also writes {} and [] on one line.
            assert.equal(pretty, JSON.stringify(value, null, 2), text);
            assert.deepEqual(JSON.parse(pretty), JSON.parse(text));
            assert.equal(prettyText(pretty), pretty, 'pretty form is stable');
        }
    });

    test('lays out text that is not JSON without throwing', () => {
        assert.deepEqual(prettyLines('{"a":"unterminated'), ['{', '  "a": "unterminated']);
        assert.deepEqual(prettyLines('{"a\\"}'), ['{', '  "a\\"}']);
        assert.deepEqual(prettyLines(''), ['']);
        const alphabet = ['{', '}', '[', ']', ',', ':', '"', '\\', ' ', '\n', 'a', '1', '-', 'é'];
        const next = random(11);
        for (let n = 0; n < 500; ++n) {
            let text = '';
            for (let k = Math.floor(next() * 30); k > 0; --k)
                text += alphabet[Math.floor(next() * alphabet.length)];
            const lines = prettyLines(text);
            assert.ok(Array.isArray(lines) && lines.every(line => typeof line === 'string'), text);
        }
    });
});

describe('jsonError', () => {
    test('accepts objects and arrays at the top', () => {
        for (const text of ['{}', '[]', ' \r\n\t[] ', '{"a":[1,-0,1.5e+10,0.5E-3,true,false,null,"\\u00e9\\"\\\\\\/\\b\\f\\n\\r\\t"]}',
            '[9007199254740993, 1.0E+308]', '{"":{}, "a":[[]]}', '["é😀\u2028"]', '["\\ud83d\\ude00"]', '\ufeff{}'])
            assert.equal(jsonError(text), null, text);
    });

    const cases = [
        ['trailing comma in an object', '{"a":1,}', "Line 1, column 8: Unexpected character '}'; expected a member name in double quotes"],
        ['trailing comma in an array', '[1,]', "Line 1, column 4: Unexpected character ']'; expected a value"],
        ['missing colon', '{"a" 1}', "Line 1, column 6: Unexpected character '1'; expected ':'"],
        ['unterminated string', '["abc', 'Line 1, column 2: Unterminated string'],
        ['raw control character', '["a\tb"]', 'Line 1, column 4: Control character U+0009 in a string; write it as an escape'],
        ['bad escape', '["\\x"]', 'Line 1, column 3: Invalid escape sequence'],
        ['bad \\u escape', '["\\u12G4"]', 'Line 1, column 3: Invalid \\u escape; four hexadecimal digits must follow'],
        ['short \\u escape at the end', '["\\u12', 'Line 1, column 3: Invalid \\u escape; four hexadecimal digits must follow'],
        ['number beyond the doubles', '[1, -1.0E+400]', 'Line 1, column 5: Number out of range'],
        ['lone high surrogate', '["\\ud800"]', 'Line 1, column 3: Unpaired surrogate in a \\u escape'],
        ['lone low surrogate', '["x\\uDC00"]', 'Line 1, column 4: Unpaired surrogate in a \\u escape'],
        ['high surrogate before another escape', '["\\ud800\\n"]', 'Line 1, column 3: Unpaired surrogate in a \\u escape'],
        ['leading zero', '[01]', 'Line 1, column 2: Invalid number'],
        ['fraction without digits', '[1.]', 'Line 1, column 2: Invalid number'],
        ['lone minus', '[-]', 'Line 1, column 2: Invalid number'],
        ['exponent without digits', '[1e]', 'Line 1, column 2: Invalid number'],
        ['letter glued to a number', '[12x]', 'Line 1, column 2: Invalid number'],
        ['misspelt literal', '[tru]', "Line 1, column 2: Unexpected character 't'; expected a value"],
        ['top-level number', '42', 'Line 1, column 1: A document must be an object or an array'],
        ['top-level string', '\n  "x"', 'Line 2, column 3: A document must be an object or an array'],
        ['empty text', '', 'Line 1, column 1: The text is empty'],
        ['trailing garbage', '{} x', "Line 1, column 4: Unexpected character 'x'; expected the end of the text"],
        ['second document', '[][]', "Line 1, column 3: Unexpected character '['; expected the end of the text"],
        ['end of text inside an object', '{"a":1', "Line 1, column 7: Unexpected end of text; expected ',' or '}'"],
        ['control character between tokens', '[true\u0001]', "Line 1, column 6: Unexpected character U+0001; expected ',' or ']'"],
        ['error on a later line', '{\n  "a": 1,\n  "b" 2\n}', "Line 3, column 7: Unexpected character '2'; expected ':'"],
        ['CRLF line breaks', '[\r\n1,\r\n  x]', "Line 3, column 3: Unexpected character 'x'; expected a value"],
    ];
    for (const [name, text, message] of cases)
        test(`reports ${name}`, () => assert.equal(jsonError(text), message));

    test('whitespace-only text is empty', () => {
        assert.match(jsonError(' \n\t'), /^Line \d+, column \d+: The text is empty$/);
    });

    test('allows nesting up to MAX_DEPTH levels and no deeper', () => {
        assert.equal(MAX_DEPTH, 1024);
        const arrays = depth => '['.repeat(depth) + ']'.repeat(depth);
        assert.equal(jsonError(arrays(MAX_DEPTH)), null);
        assert.equal(jsonError(arrays(MAX_DEPTH + 1)),
            `Line 1, column ${MAX_DEPTH + 1}: The document is nested deeper than ${MAX_DEPTH} levels`);
        const objects = depth => '{"a":'.repeat(depth - 1) + '{}' + '}'.repeat(depth - 1);
        assert.equal(jsonError(objects(MAX_DEPTH)), null);
        assert.match(jsonError(objects(MAX_DEPTH + 1)), /nested deeper than 1024 levels/);
    });

    test('agrees with JSON.parse on mutated documents', () => {
        const next = random(23);
        const alphabet = ['{', '}', '[', ']', ',', ':', '"', '\\', ' ', '0', '1', '-', '.', 'e', 'n', 'u', '\t'];
        for (let n = 0; n < 1000; ++n) {
            let text = spaced(next() < 0.5 ? [randomValue(next)] : { k: randomValue(next) }, next);
            for (let edits = 1 + Math.floor(next() * 2); edits > 0; --edits) {
                const at = Math.floor(next() * (text.length + 1));
                const cut = next() < 0.5 ? 1 : 0;
                const put = next() < 0.7 ? alphabet[Math.floor(next() * alphabet.length)] : '';
                text = text.slice(0, at) + put + text.slice(at + cut);
            }
            let valid;
            try {
                const value = JSON.parse(text);
                valid = typeof value === 'object' && value !== null;
            } catch {
                valid = false;
            }
            const error = jsonError(text);
            assert.equal(error === null, valid, `${JSON.stringify(text)}: ${error}`);
            if (error !== null)
                assert.match(error, /^Line \d+, column \d+: \S/);
        }
    });
});
