// The XML and YAML exports. JSON text is read into an ordered tree that keeps every number token as
// written, so neither export rounds large integers or reorders members.

import { XMLBuilder } from 'fast-xml-parser';
import { Document, Pair, Scalar, YAMLMap, YAMLSeq } from 'yaml';
import { MAX_DEPTH } from './jsonText.js';

// --- Reading ---------------------------------------------------------------------------------------------

// Nodes: { type: 'object', members: [[name, node]] }, { type: 'array', items: [node] },
// { type: 'string' | 'number', text }, { type: 'boolean', value }, { type: 'null' }.
// A number's text is its token exactly as it appears in the JSON text.
export function readOrdered(text) {
    let i = 0;
    const fail = what => {
        throw new SyntaxError(`${what} at offset ${i}`);
    };
    const skip = () => {
        for (;;) {
            const c = text.charCodeAt(i);
            if (c === 0x20 || c === 0x0a || c === 0x0d || c === 0x09)
                ++i;
            else
                return;
        }
    };
    const string = () => {
        const start = i;
        ++i;
        for (;;) {
            const c = text.charCodeAt(i);
            if (Number.isNaN(c))
                fail('Unterminated string');
            if (c === 0x22)
                break;
            i += c === 0x5c ? 2 : 1;
        }
        ++i;
        // The engine's own reader decodes the escapes exactly.
        return JSON.parse(text.slice(start, i));
    };
    const number = /-?(?:0|[1-9][0-9]*)(?:\.[0-9]+)?(?:[eE][+-]?[0-9]+)?/y;
    const value = depth => {
        if (depth > MAX_DEPTH)
            fail('Nesting too deep');
        skip();
        const c = text[i];
        if (c === '{') {
            ++i;
            const members = [];
            skip();
            if (text[i] === '}') {
                ++i;
                return { type: 'object', members };
            }
            for (;;) {
                skip();
                if (text[i] !== '"')
                    fail('Expected a member name');
                const name = string();
                skip();
                if (text[i] !== ':')
                    fail("Expected ':'");
                ++i;
                members.push([name, value(depth + 1)]);
                skip();
                if (text[i] === '}') {
                    ++i;
                    return { type: 'object', members };
                }
                if (text[i] !== ',')
                    fail("Expected ',' or '}'");
                ++i;
            }
        }
        if (c === '[') {
            ++i;
            const items = [];
            skip();
            if (text[i] === ']') {
                ++i;
                return { type: 'array', items };
            }
            for (;;) {
                items.push(value(depth + 1));
                skip();
                if (text[i] === ']') {
                    ++i;
                    return { type: 'array', items };
                }
                if (text[i] !== ',')
                    fail("Expected ',' or ']'");
                ++i;
            }
        }
        if (c === '"')
            return { type: 'string', text: string() };
        for (const [word, node] of [['true', { type: 'boolean', value: true }],
            ['false', { type: 'boolean', value: false }], ['null', { type: 'null' }]]) {
            if (text.startsWith(word, i)) {
                i += word.length;
                return node;
            }
        }
        number.lastIndex = i;
        const found = number.exec(text);
        if (!found)
            fail('Unexpected character');
        i += found[0].length;
        return { type: 'number', text: found[0] };
    };
    const root = value(0);
    skip();
    if (i < text.length)
        fail('Unexpected text after the document');
    return root;
}

// --- YAML ------------------------------------------------------------------------------------------------

class NumberToken {
    constructor(text) {
        this.text = text;
    }
}

// JSON number tokens are valid YAML 1.2 core-schema numbers, so they are written unchanged and unquoted.
const numberTokenTag = {
    identify: value => value instanceof NumberToken,
    default: true,
    tag: 'tag:yaml.org,2002:float',
    test: /^(?!)/,
    resolve: text => text,
    stringify: item => item.value.text,
};

// Texts that a YAML 1.1 reader (PyYAML and many configuration loaders) or a YAML 1.2 core-schema reader would
// take, written plain, for anything but that same text, or would refuse.
const specialWord = /^(?:|~|null|Null|NULL|y|Y|yes|Yes|YES|n|N|no|No|NO|true|True|TRUE|false|False|FALSE|on|On|ON|off|Off|OFF|=|<<)$/;
// Integers and floats of both versions: signs, `_` separators, 0b/0o/0x, 1.1 octals and sexagesimals, exponents
// with or without a point, .inf and .nan in their three spellings.
const numberLike = new RegExp(
    '^[-+]?(?:[0-9][0-9_]*(?::[0-5]?[0-9])*(?:\\.[0-9_]*)?(?:[eE][-+]?[0-9]+)?|\\.[0-9_]+(?:[eE][-+]?[0-9]+)?|' +
    '0[bB][01_]+|0[oO][0-7_]+|0[xX][0-9a-fA-F_]+|\\.(?:inf|Inf|INF))$|^\\.(?:nan|NaN|NAN)$');
// YAML 1.1 timestamps begin with a date.
const dateLike = /^[0-9]{4}-[0-9]{1,2}-[0-9]{1,2}(?:$|[Tt \t])/;
// Indicators and white space at the start; a mapping or comment indicator, white space at the end, and
// characters a plain scalar cannot hold (controls, tabs, line breaks, byte-order marks) anywhere.
const unsafeStart = /^[-?:,[\]{}#&*!|>'"%@`\s]/;
const loneSurrogate = '[\\uD800-\\uDBFF](?![\\uDC00-\\uDFFF])|(?<![\\uD800-\\uDBFF])[\\uDC00-\\uDFFF]';
const unsafeInside = new RegExp(': |:$| #|\\s$|[\\u0000-\\u001F\\u007F-\\u009F\\u2028\\u2029\\uFEFF\\uFFFE\\uFFFF]|' + loneSurrogate);

export function needsQuotes(text) {
    return specialWord.test(text) || numberLike.test(text) || dateLike.test(text) || unsafeStart.test(text) ||
        unsafeInside.test(text);
}

// A double-quoted scalar whose every character a reader accepts: the YAML escapes for controls, line and
// paragraph separators, byte-order marks and non-characters, so no text can make a reader refuse the file.
const escapes = { '\0': '\\0', '\x07': '\\a', '\b': '\\b', '\t': '\\t', '\n': '\\n', '\x0B': '\\v', '\f': '\\f',
    '\r': '\\r', '\x1B': '\\e', '"': '\\"', '\\': '\\\\', '\u0085': '\\N', '\u2028': '\\L', '\u2029': '\\P' };
export function doubleQuoted(text) {
    const escaped = new RegExp('[\\u0000-\\u001F"\\\\\\u007F-\\u009F\\u2028\\u2029\\uFEFF\\uFFFE\\uFFFF]|' + loneSurrogate, 'g');
    return '"' + text.replace(escaped, c => {
        if (escapes[c])
            return escapes[c];
        const code = c.charCodeAt(0);
        return code < 0x100 ? '\\x' + code.toString(16).padStart(2, '0') : '\\u' + code.toString(16).padStart(4, '0');
    }) + '"';
}

class QuotedText {
    constructor(text) {
        this.text = text;
    }
}

const quotedTextTag = {
    identify: value => value instanceof QuotedText,
    default: true,
    tag: 'tag:yaml.org,2002:str',
    test: /^(?!)/,
    resolve: text => text,
    stringify: item => doubleQuoted(item.value.text),
};

function stringScalar(text) {
    return new Scalar(needsQuotes(text) ? new QuotedText(text) : text);
}

function yamlNode(node) {
    switch (node.type) {
    case 'object': {
        const map = new YAMLMap();
        for (const [name, child] of node.members)
            map.items.push(new Pair(stringScalar(name), yamlNode(child)));
        return map;
    }
    case 'array': {
        const seq = new YAMLSeq();
        for (const child of node.items)
            seq.items.push(yamlNode(child));
        return seq;
    }
    case 'string':
        return stringScalar(node.text);
    case 'number':
        return new Scalar(new NumberToken(node.text));
    case 'boolean':
        return new Scalar(node.value);
    default:
        return new Scalar(null);
    }
}

export function toyaml(text) {
    const document = new Document(null, { customTags: [numberTokenTag, quotedTextTag] });
    document.contents = yamlNode(readOrdered(text));
    return document.toString({ lineWidth: 0, minContentWidth: 0 });
}

// --- XML -------------------------------------------------------------------------------------------------

// Characters XML 1.0 cannot carry at all, not even as character references.
const notInXml = /[\u0000-\u0008\u000B\u000C\u000E-\u001F\uFFFE\uFFFF]|[\uD800-\uDBFF](?![\uDC00-\uDFFF])|(?<![\uD800-\uDBFF])[\uDC00-\uDFFF]/;

function checkXmlText(text) {
    const found = notInXml.exec(text);
    if (found) {
        const code = found[0].charCodeAt(0).toString(16).toUpperCase().padStart(4, '0');
        throw new RangeError(`U+${code} cannot be written in XML`);
    }
    return text;
}

// Escaped by hand so that carriage returns, tabs and line feeds survive a parser's normalisation.
function escapeText(text) {
    return checkXmlText(text).replace(/[&<>\r]/g, c => ({ '&': '&amp;', '<': '&lt;', '>': '&gt;', '\r': '&#13;' })[c]);
}

function escapeAttribute(text) {
    return checkXmlText(text).replace(/[&<>"\t\n\r]/g,
        c => ({ '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', '\t': '&#9;', '\n': '&#10;', '\r': '&#13;' })[c]);
}

const nameStart = 'A-Z_a-z\u00C0-\u00D6\u00D8-\u00F6\u00F8-\u02FF\u0370-\u037D\u037F-\u1FFF\u200C\u200D' +
    '\u2070-\u218F\u2C00-\u2FEF\u3001-\uD7FF\uF900-\uFDCF\uFDF0-\uFFFD';
const elementName = new RegExp(`^[${nameStart}][${nameStart}\\-.0-9\u00B7\u0300-\u036F\u203F\u2040]*$`);

// A member's element is named after the member when the name is a plain XML name (no colon, not starting
// with "xml" in any case, and not "member" itself); other names go into the "name" attribute of a "member"
// element.
export function xmlElementFor(name) {
    if (elementName.test(name) && !/^xml/i.test(name) && name !== 'member')
        return { tag: name, attributes: {} };
    return { tag: 'member', attributes: { '@_name': escapeAttribute(name) } };
}

function xmlElement(tag, attributes, node) {
    const element = { [tag]: [] };
    const typed = type => ({ ...attributes, '@_type': type });
    switch (node.type) {
    case 'object':
        element[':@'] = typed('object');
        for (const [name, child] of node.members) {
            const { tag: childTag, attributes: childAttributes } = xmlElementFor(name);
            element[tag].push(xmlElement(childTag, childAttributes, child));
        }
        break;
    case 'array':
        element[':@'] = typed('array');
        for (const child of node.items)
            element[tag].push(xmlElement('item', {}, child));
        break;
    case 'string':
        if (Object.keys(attributes).length)
            element[':@'] = attributes;
        if (node.text !== '')
            element[tag].push({ '#text': escapeText(node.text) });
        break;
    case 'number':
        element[':@'] = typed('number');
        element[tag].push({ '#text': node.text });
        break;
    case 'boolean':
        element[':@'] = typed('boolean');
        element[tag].push({ '#text': String(node.value) });
        break;
    default:
        element[':@'] = typed('null');
    }
    return element;
}

export function toxml(text) {
    const builder = new XMLBuilder({
        preserveOrder: true,
        ignoreAttributes: false,
        attributeNamePrefix: '@_',
        processEntities: false,
        suppressEmptyNode: true,
        // Every document the editor accepts, up to its nesting limit, plus the root element.
        maxNestedTags: MAX_DEPTH + 2,
        format: true,
        indentBy: '  ',
    });
    const body = builder.build([xmlElement('root', {}, readOrdered(text))]);
    return `<?xml version="1.0" encoding="UTF-8"?>\n${body.replace(/^\n/, '')}${body.endsWith('\n') ? '' : '\n'}`;
}
