import { test, describe } from 'node:test';
import assert from 'node:assert/strict';
import { readOrdered, toxml, toyaml, xmlElementFor } from '../../../Core/src/convert.js';
import { MAX_DEPTH } from '../../../Core/src/jsonText.js';
import { parse as parseYaml } from '../../../Core/node_modules/yaml/dist/index.js';
import { XMLParser } from '../../../Core/node_modules/fast-xml-parser/src/fxp.js';

// Documents whose exports must read back to the same ordered tree.
const documents = [
    '{"10":1,"2":2,"1":{"b":true,"a":false}}',
    '[9007199254740993,-0,1.0E+400,0.10,-12.5e-3,123456789012345678901234567890]',
    '{"__proto__":{"constructor":"x"},"":[],"toString":null}',
    '{"a":"","b":{},"c":[],"d":[[],{}],"e":[null,true,"s"]}',
    '["a&b","a&amp;b","<tag>","]]>","x\\ty\\nz\\r","\\u00e9\\ud83d\\ude00"," lead","trail ","\\"q\\" \'s\'"]',
    '{"a b":1,"a:b":2,"member":3,"xmlns":4,"XmlThing":5,"-x":6,"é":7,"item":8,"\\t\\n\\r&\\"<>":9}',
];

// The tree readOrdered builds, as plain values YAML reads back: maps keep order, integers stay exact.
function expectedYaml(node) {
    switch (node.type) {
    case 'object': return new Map(node.members.map(([name, child]) => [name, expectedYaml(child)]));
    case 'array': return node.items.map(expectedYaml);
    case 'number': return /^-?\d+$/.test(node.text) ? BigInt(node.text) : Number(node.text);
    case 'string': return node.text;
    case 'boolean': return node.value;
    default: return null;
    }
}

// Reads the XML export back into the ordered tree shape.
const xmlParser = new XMLParser({
    preserveOrder: true, ignoreAttributes: false, attributeNamePrefix: '', trimValues: false,
    parseTagValue: false, parseAttributeValue: false, htmlEntities: true,
    // The parser refuses tag names such as __proto__ outright; a prefix gets them through. It applies the
    // transform twice to self-closing tags, and '$' cannot start an XML name, so every leading '$' goes.
    transformTagName: name => `$${name}`,
});
function fromXml(element) {
    const key = Object.keys(element).find(k => k !== ':@');
    const tag = key.replace(/^\$+/, '');
    const attributes = element[':@'] ?? {};
    const children = element[key].filter(child => !('#text' in child));
    const text = element[key].map(child => child['#text'] ?? '').join('');
    const name = tag === 'member' ? attributes.name : tag;
    let node;
    switch (attributes.type) {
    case 'object': node = { type: 'object', members: children.map(child => fromXml(child)) }; break;
    case 'array': node = { type: 'array', items: children.map(child => fromXml(child)[1]) }; break;
    case 'number': node = { type: 'number', text }; break;
    case 'boolean': node = { type: 'boolean', value: text === 'true' }; break;
    case 'null': node = { type: 'null' }; break;
    default: node = { type: 'string', text };
    }
    return [name, node];
}
const readXml = xml => fromXml(xmlParser.parse(xml).find(element => Object.keys(element).some(k => /^\$+root$/.test(k))))[1];

describe('readOrdered', () => {
    test('keeps member order, number tokens and __proto__ members', () => {
        assert.deepEqual(readOrdered('{"2":1,"10":-0,"__proto__":[1.0E+400]}'), {
            type: 'object',
            members: [['2', { type: 'number', text: '1' }], ['10', { type: 'number', text: '-0' }],
                ['__proto__', { type: 'array', items: [{ type: 'number', text: '1.0E+400' }] }]],
        });
    });

    test('rejects text after the document', () => {
        assert.throws(() => readOrdered('[] []'), SyntaxError);
    });
});

describe('toyaml', () => {
    test('writes numbers as written and members in text order', () => {
        assert.equal(toyaml('{"10":9007199254740993,"2":[-0,1.0E+400],"":{},"__proto__":"x"}'),
            '"10": 9007199254740993\n"2":\n  - -0\n  - 1.0E+400\n"": {}\n__proto__: x\n');
    });

    test('reads back to the same values', () => {
        for (const text of documents)
            assert.deepEqual(parseYaml(toyaml(text), { intAsBigInt: true, mapAsMap: true }), expectedYaml(readOrdered(text)), text);
    });

    test('quotes strings a YAML 1.1 or 1.2 reader would take for something else; others stay plain', () => {
        const yaml = toyaml('["yes","123","true","null","",".5","-0","0b101","12:30:45","2001-12-14","=","plain","v1.0","1.2.3","\u00e9 \ud83d\ude00"]');
        for (const quoted of ['"yes"', '"123"', '"true"', '"null"', '""', '".5"', '"-0"', '"0b101"', '"12:30:45"', '"2001-12-14"', '"="'])
            assert.ok(yaml.includes(`- ${quoted}\n`), quoted);
        for (const plain of ['plain', 'v1.0', '1.2.3', '\u00e9 \ud83d\ude00'])
            assert.ok(yaml.includes(`- ${plain}\n`), plain);
    });

    // Read back by the YAML 1.2 core schema and by YAML 1.1 (as PyYAML reads); tst_cliexport checks PyYAML itself.
    test('keeps tricky strings as strings, as values and as keys, for YAML 1.1 and 1.2 readers', () => {
        const strings = ['123', 'true', 'True', 'NULL', '~', '', '1e3', '0x1F', '0o7', '.inf', '-.Inf', '.nan', 'no', 'on',
            'a: b', '- x', '#c', 'x #y', ' lead', 'trail ', '\t', 'a\nb', 'a\n\n', '\n', '"', "'", '@x', '`x', '%x', '!x',
            '&x', '*x', '{x', '[x', '|', '>', '?', ',', '\u0001', '\u007f', '\u0085', '\u2028', 'a\ufeff', '\\', '---', '...',
            'y', 'N', 'Yes', 'OFF', '0b1_0', '0777', '1_000', '+1', '1:20', '190:20:30.15', '2001-12-14', '2001-12-14t21:59:43.10-05:00',
            '2002-12-14 21:59:43.10 -5', '=', '<<', 'key:', 'tab\there', '\u0080x', '\u009f', 'x\ufffe'];
        for (const value of strings) {
            const json = JSON.stringify({ [value]: value });
            for (const version of ['1.2', '1.1'])
                assert.deepEqual(parseYaml(toyaml(json), { mapAsMap: true, version, merge: false }), new Map([[value, value]]),
                    `${version}: ${json}`);
        }
    });

    test('keeps a byte order mark that starts the first key', () => {
        assert.deepEqual(parseYaml(toyaml('{"\\ufeffa":1}'), { mapAsMap: true }), new Map([['\ufeffa', 1]]));
    });

    test('exports documents at the nesting limit', () => {
        const deep = '['.repeat(MAX_DEPTH) + '1' + ']'.repeat(MAX_DEPTH);
        // Too deep for the YAML reader; a block sequence nests as one "- " per level on a single line.
        assert.equal(toyaml(deep), '- '.repeat(MAX_DEPTH) + '1\n');
    });

    test('escapes control characters', () => {
        const yaml = toyaml('["a\\u0001b","\\u001f","\\u0000"]');
        assert.doesNotMatch(yaml, /[\u0000-\u0008\u000b-\u001f]/, 'no raw control characters');
        assert.deepEqual(parseYaml(yaml), ['a\u0001b', '\u001f', '\u0000']);
    });
});

describe('toxml', () => {
    test('lays out elements with types, names and exact numbers', () => {
        assert.equal(toxml('{"10":9007199254740993,"a":[true,null,"",{}],"b":"s","member":-0}'), [
            '<?xml version="1.0" encoding="UTF-8"?>',
            '<root type="object">',
            '  <member name="10" type="number">9007199254740993</member>',
            '  <a type="array">',
            '    <item type="boolean">true</item>',
            '    <item type="null"/>',
            '    <item/>',
            '    <item type="object"/>',
            '  </a>',
            '  <b>s</b>',
            '  <member name="member" type="number">-0</member>',
            '</root>',
            '',
        ].join('\n'));
    });

    test('reads back to the same ordered tree', () => {
        for (const text of documents)
            assert.deepEqual(readXml(toxml(text)), readOrdered(text), text);
    });

    test('escapes markup and line ends so a parser keeps them', () => {
        const xml = toxml('{"a":"x&y","b":"x&amp;y","c":"<\\r\\t\\n>","\\t\\n\\r\\"&<":1}');
        assert.ok(xml.includes('<a>x&amp;y</a>'));
        assert.ok(xml.includes('<b>x&amp;amp;y</b>'), "'&amp;' stays distinct from '&'");
        assert.ok(xml.includes('<c>&lt;&#13;\t\n&gt;</c>'));
        assert.ok(xml.includes('<member name="&#9;&#10;&#13;&quot;&amp;&lt;" type="number">1</member>'));
    });

    test('refuses characters XML 1.0 cannot carry', () => {
        for (const bad of ['\\u0001', '\\u0000', '\\u000b', '\\ud800', '\\udc00', 'a\\ud800b', '\\ufffe', '\\uffff']) {
            assert.throws(() => toxml(`["${bad}"]`), RangeError, `value ${bad}`);
            assert.throws(() => toxml(`{"${bad}":1}`), RangeError, `name ${bad}`);
        }
        assert.doesNotThrow(() => toxml('["\\ud83d\\ude00\\t\\n\\r\\ud7ff\\ue000\\ufffd"]'));
    });

    test('exports deeply nested documents', () => {
        const nested = depth => '['.repeat(depth) + '1' + ']'.repeat(depth);
        assert.match(toxml(nested(99)), /<item type="number">1<\/item>/);
        assert.deepEqual(readXml(toxml(nested(99))), readOrdered(nested(99)));
    });

    test('exports documents at the nesting limit', () => {
        const deep = '['.repeat(MAX_DEPTH) + '1' + ']'.repeat(MAX_DEPTH);
        assert.match(toxml(deep), /<item type="number">1<\/item>/);
    });
});

describe('xmlElementFor', () => {
    test('uses plain XML names as element names', () => {
        for (const name of ['a', '_x', '__proto__', 'é', 'a-b.c9', 'item', 'Member', 'x\u00b7y'])
            assert.deepEqual(xmlElementFor(name), { tag: name, attributes: {} }, name);
    });

    test('puts other names into a member element', () => {
        for (const name of ['', '10', 'a b', 'a:b', '-x', '.x', 'member', 'xml', 'XML', 'xmlns', 'XmlThing', '\u00b7'])
            assert.deepEqual(xmlElementFor(name), { tag: 'member', attributes: { '@_name': name } }, name);
        assert.deepEqual(xmlElementFor('a"b&\t'), { tag: 'member', attributes: { '@_name': 'a&quot;b&amp;&#9;' } });
    });
});
