// The code editor page: a CodeMirror editor for the document's JSON text, pretty-printed by the window. The
// window pushes the lines that changed with showPushedLines(), whose text the page fetches from the window; the
// page reports the lines the user changed to the window's "jsHandler" object over the Qt web channel.

import { basicSetup } from 'codemirror';
import { json } from '@codemirror/lang-json';
import { oneDark } from '@codemirror/theme-one-dark';
import { Annotation, Compartment, EditorState, Text, Transaction } from '@codemirror/state';
import { EditorView } from '@codemirror/view';
import { appendLines, replaceLines } from './linesChange.js';

const dark = document.documentElement.dataset.appearance === 'dark';

// --- Messages to the window --------------------------------------------------------------------------------

let handler = null;
const pending = [];

function postBody(message) {
    const body = JSON.stringify(message);
    if (handler)
        handler.postMessage(body);
    else
        pending.push(body);
}

function post(cmd, content) {
    postBody({ cmd, content });
}

// Texts longer than this go in parts: one message of hundreds of megabytes would hold up the window while it
// is read.
const PART_LENGTH = 1 << 20;

// Sends `fields` with the text of `doc` between `from` and `to` as their content. A long text is sent as
// "contentPart" messages followed by the message itself, holding the last part and, in "partCount", how many
// parts came before it. The text is taken from the document a part at a time: a whole text may be longer
// than a JavaScript string can be.
function postText(fields, doc, from, to) {
    let parts = 0;
    while (to - from > PART_LENGTH) {
        let end = from + PART_LENGTH;
        // Never between the two halves of a surrogate pair.
        const last = doc.sliceString(end - 1, end).charCodeAt(0);
        if (last >= 0xd800 && last <= 0xdbff)
            --end;
        post('contentPart', doc.sliceString(from, end));
        ++parts;
        from = end;
    }
    const content = doc.sliceString(from, to);
    postBody(parts > 0 ? { ...fields, content, partCount: parts } : { ...fields, content });
}

if (typeof QWebChannel !== 'undefined' && typeof qt !== 'undefined') {
    new QWebChannel(qt.webChannelTransport, channel => {
        handler = channel.objects.jsHandler;
        for (const body of pending.splice(0))
            handler.postMessage(body);
    });
}

// --- The editor --------------------------------------------------------------------------------------------

// Marks the transactions that carry the window's text, which are never reported back as edits.
const fromWindow = Annotation.define();

// While the page shows a notice instead of the document, the editor is empty and read-only, and nothing in it
// is reported as an edit.
const editability = new Compartment();
const readOnly = [EditorState.readOnly.of(true), EditorView.editable.of(false)];
let notice = null;

// The text as the window knows it (`shownDoc`) and its version: the number of the window's last push, or one the
// page made (negative) for the last edit it reported. `typed` holds the changes typed since, not yet reported.
let shownVersion = 0;
let shownDoc = null;
let lastPageVersion = 0;
let typed = null;
let editTimer = null;

// Waits for a pause in typing; the window reads the whole document after each report, so longer documents wait
// a little longer.
function editDelay(length) {
    return Math.min(300 + length / 200000, 1000);
}

function reportWholeText() {
    const version = --lastPageVersion;
    postText({ cmd: 'contentChanged', version }, view.state.doc, 0, view.state.doc.length);
    shownVersion = version;
    shownDoc = view.state.doc;
}

// Reports the run of lines the typing changed, as lines of the text the window knows.
function userEditSettled() {
    editTimer = null;
    const changes = typed;
    typed = null;
    if (!changes || changes.empty)
        return;
    if (!shownDoc)
        return reportWholeText();
    const doc = view.state.doc;
    let fromA = Infinity;
    let toA = -1;
    let toB = -1;
    changes.iterChangedRanges((changedFromA, changedToA, _fromB, changedToB) => {
        fromA = Math.min(fromA, changedFromA);
        toA = Math.max(toA, changedToA);
        toB = Math.max(toB, changedToB);
    });
    const from = shownDoc.lineAt(fromA).number - 1;
    const removed = shownDoc.lineAt(toA).number - from;
    const last = doc.lineAt(toB).number;
    const version = --lastPageVersion;
    window.lastReportTime = Date.now();
    postText({ cmd: 'linesChanged', base: shownVersion, version, from, removed, added: last - from },
        doc, doc.line(from + 1).from, doc.line(last).to);
    shownVersion = version;
    shownDoc = doc;
}

const view = new EditorView({
    parent: document.getElementById('editor'),
    state: EditorState.create({
        doc: '',
        extensions: [
            basicSetup,
            json(),
            EditorState.tabSize.of(2),
            dark ? oneDark : [],
            editability.of([]),
            EditorView.updateListener.of(update => {
                if (!update.docChanged || notice || update.transactions.some(tr => tr.annotation(fromWindow)))
                    return;
                typed = typed ? typed.compose(update.changes) : update.changes;
                clearTimeout(editTimer);
                editTimer = setTimeout(userEditSettled, editDelay(update.state.doc.length));
            }),
        ],
    }),
});

// --- Calls from the window ---------------------------------------------------------------------------------

// A text the window offered. (The engine's fetch() does not reach the window's own scheme.)
function fetchText(address) {
    return new Promise((resolve, reject) => {
        const request = new XMLHttpRequest();
        request.open('GET', address);
        request.overrideMimeType('text/plain; charset=utf-8');
        request.onload = () => (request.status === 200 || request.status === 0 ? resolve(request.responseText)
            : reject(new Error(`No text at ${address}`)));
        request.onerror = () => reject(new Error(`No text at ${address}`));
        request.send();
    });
}

// The lines of a push, fetched part by part while the window writes them (each part whole lines) and joined in
// order as they arrive, until showPushedLines() shows them.
let staging = null;

window.stagePushedLines = (address, first) => {
    const fetched = fetchText(address);
    const before = first || !staging ? Promise.resolve(null) : staging;
    staging = before.then(async lines => {
        const part = Text.of((await fetched).split('\n'));
        return lines ? appendLines(lines, part) : part;
    });
    return true;
};

// Replaces lines [from, from + removed) with the `added` lines staged, once they have all arrived, and tells
// the window with "pushShown": true when shown, false when the page no longer shows version `base` (it was typed
// in since; the window then sends the whole text), null when it failed. `base` null replaces the whole text.
window.showPushedLines = (base, version, from, removed, added) => {
    const lines = added > 0 && staging ? staging : Promise.resolve(null);
    staging = null;
    lines.then(inserted => postBody({ cmd: 'pushShown', version, content: showLines(base, version, from, removed, added, inserted) }))
        .catch(error => {
            console.error(String(error));
            postBody({ cmd: 'pushShown', version, content: null });
        });
    return true;
};

function showLines(base, version, from, removed, added, inserted) {
    if (base !== null && (base !== shownVersion || typed !== null))
        return false;
    if ((inserted?.lines ?? 0) !== added)
        throw new Error(`Expected ${added} lines, got ${inserted?.lines ?? 0}`);
    clearTimeout(editTimer);
    editTimer = null;
    typed = null;
    const doc = view.state.doc;
    const change = base === null ? { from: 0, to: doc.length, insert: inserted ?? '' } : replaceLines(doc, from, removed, inserted);
    if (change || notice) {
        view.dispatch({
            changes: change ?? [],
            effects: notice ? editability.reconfigure([]) : [],
            annotations: [fromWindow.of(true), Transaction.addToHistory.of(false)],
        });
    }
    if (notice) {
        notice.remove();
        notice = null;
    }
    shownVersion = version;
    shownDoc = view.state.doc;
    return true;
}

// The window could not make the document from the lines reported: it takes the whole text instead.
window.sendWholeText = () => {
    clearTimeout(editTimer);
    editTimer = null;
    typed = null;
    reportWholeText();
    return true;
};

// Shows `text` in place of the document, which the window could not hand over.
window.showNotice = text => {
    clearTimeout(editTimer);
    editTimer = null;
    view.dispatch({
        changes: { from: 0, to: view.state.doc.length, insert: '' },
        effects: editability.reconfigure(readOnly),
        annotations: [fromWindow.of(true), Transaction.addToHistory.of(false)],
    });
    if (!notice) {
        notice = document.createElement('div');
        notice.id = 'notice';
        document.body.prepend(notice);
    }
    notice.textContent = text;
    typed = null;
    staging = null;
    shownVersion = 0;
    shownDoc = null;
    return true;
};
window.noticeText = () => (notice ? notice.textContent : null);

// For the window's tests and benchmarks: the text shown, its length, and an edit made as if typed.
window.editorText = () => view.state.doc.toString();
window.editorLength = () => view.state.doc.length;
// Where `text` first occurs in the editor, found line by line: the whole text may not fit in one string.
window.editorIndexOf = text => {
    for (let line = 1; line <= view.state.doc.lines; ++line) {
        const { from, text: shown } = view.state.doc.line(line);
        const at = shown.indexOf(text);
        if (at >= 0)
            return from + at;
    }
    return -1;
};
window.typeAt = (from, to, text) => {
    view.dispatch({ changes: { from, to, insert: text }, userEvent: 'input.type' });
    return true;
};
window.typeText = text => window.typeAt(0, view.state.doc.length, text);
window.selectAllText = () => {
    view.focus();
    view.dispatch({ selection: { anchor: 0, head: view.state.doc.length } });
    return true;
};
