// JSON text handled at the level of its tokens: pretty-printing and validation never turn numbers into
// JavaScript numbers, so every number token reaches the editor exactly as it was written.

const QUOTE = 0x22;
const BACKSLASH = 0x5c;
const OPEN_BRACE = 0x7b;
const CLOSE_BRACE = 0x7d;
const OPEN_BRACKET = 0x5b;
const CLOSE_BRACKET = 0x5d;
const COMMA = 0x2c;
const COLON = 0x3a;

export const MAX_DEPTH = 1024;

function isWhitespace(code) {
    return code === 0x20 || code === 0x0a || code === 0x0d || code === 0x09;
}

function isStructural(code) {
    return code === OPEN_BRACE || code === CLOSE_BRACE || code === OPEN_BRACKET || code === CLOSE_BRACKET ||
        code === COMMA || code === COLON || code === QUOTE;
}

// Index just past the string token that starts with the quote at `start` (or text.length when unterminated).
function stringEnd(text, start) {
    let i = start + 1;
    for (;;) {
        const quote = text.indexOf('"', i);
        if (quote < 0)
            return text.length;
        let backslashes = 0;
        for (let j = quote - 1; j > start && text.charCodeAt(j) === BACKSLASH; --j)
            ++backslashes;
        if (backslashes % 2 === 0)
            return quote + 1;
        i = quote + 1;
    }
}

function skipWhitespace(text, i) {
    while (i < text.length && isWhitespace(text.charCodeAt(i)))
        ++i;
    return i;
}

// Splits JSON text into the lines of its two-space pretty form. Empty collections stay on one line ("{}",
// "[]"). Tokens are copied unchanged; whitespace between them is dropped. Text that is not JSON is laid out
// on a best-effort basis, never rejected.
export function prettyLines(text) {
    const lines = [];
    const indents = [''];
    const indent = depth => {
        while (indents.length <= depth)
            indents.push(indents[indents.length - 1] + '  ');
        return indents[Math.max(depth, 0)];
    };
    let line = '';
    let depth = 0;
    let i = skipWhitespace(text, 0);
    const n = text.length;
    while (i < n) {
        const code = text.charCodeAt(i);
        if (code === QUOTE) {
            const end = stringEnd(text, i);
            line += text.slice(i, end);
            i = end;
        } else if (code === OPEN_BRACE || code === OPEN_BRACKET) {
            const close = code === OPEN_BRACE ? CLOSE_BRACE : CLOSE_BRACKET;
            const next = skipWhitespace(text, i + 1);
            if (next < n && text.charCodeAt(next) === close) {
                line += code === OPEN_BRACE ? '{}' : '[]';
                i = next + 1;
            } else {
                line += text[i];
                lines.push(line);
                ++depth;
                line = indent(depth);
                i = next;
            }
            continue;
        } else if (code === CLOSE_BRACE || code === CLOSE_BRACKET) {
            if (line.trim() !== '')
                lines.push(line);
            --depth;
            line = indent(depth) + text[i];
            ++i;
        } else if (code === COMMA) {
            lines.push(line + ',');
            line = indent(depth);
            i = skipWhitespace(text, i + 1);
            continue;
        } else if (code === COLON) {
            line += ': ';
            ++i;
        } else if (isWhitespace(code)) {
            ++i;
        } else {
            let end = i + 1;
            while (end < n) {
                const c = text.charCodeAt(end);
                if (isStructural(c) || isWhitespace(c))
                    break;
                ++end;
            }
            line += text.slice(i, end);
            i = end;
        }
    }
    lines.push(line);
    return lines;
}

export function prettyText(text) {
    return prettyLines(text).join('\n');
}

function lineAndColumn(text, offset) {
    let line = 1;
    let lineStart = 0;
    for (let i = text.indexOf('\n'); i >= 0 && i < offset; i = text.indexOf('\n', i + 1)) {
        ++line;
        lineStart = i + 1;
    }
    return { line, column: offset - lineStart + 1 };
}

class JsonSyntaxError extends Error {
    constructor(offset, message) {
        super(message);
        this.offset = offset;
    }
}

function describe(text, i) {
    if (i >= text.length)
        return 'Unexpected end of text';
    const ch = text.codePointAt(i);
    const shown = ch < 0x20 ? `U+${ch.toString(16).toUpperCase().padStart(4, '0')}` : `'${String.fromCodePoint(ch)}'`;
    return `Unexpected character ${shown}`;
}

// A checker for RFC 8259 JSON whose top level is an object or an array, as the native side reads it.
class Checker {
    constructor(text) {
        this.text = text;
        this.i = 0;
    }

    fail(message, offset = this.i) {
        throw new JsonSyntaxError(offset, message);
    }

    unexpected(expected) {
        const what = describe(this.text, this.i);
        this.fail(expected ? `${what}; expected ${expected}` : what);
    }

    skip() {
        this.i = skipWhitespace(this.text, this.i);
    }

    document() {
        // A byte-order mark pasted along with the text is not part of the JSON; the window drops it too.
        if (this.text.charCodeAt(0) === 0xfeff)
            this.i = 1;
        this.skip();
        if (this.i >= this.text.length)
            this.fail('The text is empty');
        const code = this.text.charCodeAt(this.i);
        if (code !== OPEN_BRACE && code !== OPEN_BRACKET)
            this.fail('A document must be an object or an array');
        this.value(0);
        this.skip();
        if (this.i < this.text.length)
            this.unexpected('the end of the text');
    }

    value(depth) {
        this.skip();
        const text = this.text;
        const code = text.charCodeAt(this.i);
        if (code === OPEN_BRACE || code === OPEN_BRACKET) {
            if (depth >= MAX_DEPTH)
                this.fail(`The document is nested deeper than ${MAX_DEPTH} levels`);
            if (code === OPEN_BRACE)
                this.object(depth + 1);
            else
                this.array(depth + 1);
        } else if (code === QUOTE) {
            this.string();
        } else if (code === 0x2d || (code >= 0x30 && code <= 0x39)) {
            this.number();
        } else {
            for (const word of ['true', 'false', 'null']) {
                if (text.startsWith(word, this.i)) {
                    this.i += word.length;
                    return;
                }
            }
            this.unexpected('a value');
        }
    }

    object(depth) {
        ++this.i;
        this.skip();
        if (this.text.charCodeAt(this.i) === CLOSE_BRACE) {
            ++this.i;
            return;
        }
        for (;;) {
            this.skip();
            if (this.text.charCodeAt(this.i) !== QUOTE)
                this.unexpected('a member name in double quotes');
            this.string();
            this.skip();
            if (this.text.charCodeAt(this.i) !== COLON)
                this.unexpected("':'");
            ++this.i;
            this.value(depth);
            this.skip();
            const code = this.text.charCodeAt(this.i);
            if (code === CLOSE_BRACE) {
                ++this.i;
                return;
            }
            if (code !== COMMA)
                this.unexpected("',' or '}'");
            ++this.i;
        }
    }

    array(depth) {
        ++this.i;
        this.skip();
        if (this.text.charCodeAt(this.i) === CLOSE_BRACKET) {
            ++this.i;
            return;
        }
        for (;;) {
            this.value(depth);
            this.skip();
            const code = this.text.charCodeAt(this.i);
            if (code === CLOSE_BRACKET) {
                ++this.i;
                return;
            }
            if (code !== COMMA)
                this.unexpected("',' or ']'");
            ++this.i;
        }
    }

    string() {
        const text = this.text;
        const start = this.i;
        let i = start + 1;
        for (;;) {
            if (i >= text.length)
                this.fail('Unterminated string', start);
            const code = text.charCodeAt(i);
            if (code === QUOTE) {
                this.i = i + 1;
                return;
            }
            if (code < 0x20)
                this.fail(`Control character U+${code.toString(16).toUpperCase().padStart(4, '0')} in a string; write it as an escape`, i);
            if (code === BACKSLASH) {
                const escape = text[i + 1];
                if (escape === 'u') {
                    const unit = this.escapedUnit(i);
                    // Text is Unicode: half of a surrogate pair is no character, so it must come with its other half.
                    if (unit >= 0xdc00 && unit <= 0xdfff)
                        this.fail('Unpaired surrogate in a \\u escape', i);
                    if (unit >= 0xd800 && unit <= 0xdbff) {
                        const low = text.startsWith('\\u', i + 6) ? this.escapedUnit(i + 6) : -1;
                        if (low < 0xdc00 || low > 0xdfff)
                            this.fail('Unpaired surrogate in a \\u escape', i);
                        i += 12;
                        continue;
                    }
                    i += 6;
                    continue;
                }
                if (escape === undefined || !'"\\/bfnrt'.includes(escape))
                    this.fail('Invalid escape sequence', i);
                i += 2;
                continue;
            }
            ++i;
        }
    }

    // The code unit of the \u escape at `i`.
    escapedUnit(i) {
        const digits = this.text.slice(i + 2, i + 6);
        if (!/^[0-9a-fA-F]{4}$/.test(digits))
            this.fail('Invalid \\u escape; four hexadecimal digits must follow', i);
        return parseInt(digits, 16);
    }

    number() {
        const match = /-?(?:0|[1-9][0-9]*)(?:\.[0-9]+)?(?:[eE][+-]?[0-9]+)?/y;
        match.lastIndex = this.i;
        const found = match.exec(this.text);
        if (!found || found[0] === '-' || found[0] === '')
            this.fail('Invalid number');
        const end = this.i + found[0].length;
        const next = this.text.charCodeAt(end);
        if (end < this.text.length && !isStructural(next) && !isWhitespace(next))
            this.fail('Invalid number', this.i);
        // The window reads numbers as doubles: one beyond their range cannot be held.
        if (!Number.isFinite(Number(found[0])))
            this.fail('Number out of range', this.i);
        this.i = end;
    }
}

// null when `text` is a valid document; otherwise a readable message that names the line and column.
export function jsonError(text) {
    try {
        new Checker(text).document();
        return null;
    } catch (error) {
        if (!(error instanceof JsonSyntaxError))
            throw error;
        const { line, column } = lineAndColumn(text, error.offset);
        return `Line ${line}, column ${column}: ${error.message}`;
    }
}
