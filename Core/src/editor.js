// The code editor page: a CodeMirror editor for the document's JSON text. The window pushes the text with
// updateContent(text, true); the page reports the user's edits and the validity of the text to the window's
// "jsHandler" object over the Qt web channel.

import { basicSetup } from 'codemirror';
import { json } from '@codemirror/lang-json';
import { oneDark } from '@codemirror/theme-one-dark';
import { Annotation, Compartment, EditorState, Transaction } from '@codemirror/state';
import { EditorView } from '@codemirror/view';
import { jsonError, prettyLines } from './jsonText.js';
import { linesChange } from './linesChange.js';

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

// `text` cut into pieces of at most `length` characters, never between the two halves of a surrogate pair.
function splitText(text, length) {
    const parts = [];
    let start = 0;
    while (text.length - start > length) {
        let end = start + length;
        const last = text.charCodeAt(end - 1);
        if (last >= 0xd800 && last <= 0xdbff)
            --end;
        parts.push(text.slice(start, end));
        start = end;
    }
    parts.push(text.slice(start));
    return parts;
}

// Sends the whole text as "contentChanged". A long text is sent as "contentPart" messages followed by a
// "contentChanged" holding the last part and, in "partCount", how many parts came before it.
function postText(text) {
    if (text.length <= PART_LENGTH) {
        post('contentChanged', text);
        return;
    }
    const parts = splitText(text, PART_LENGTH);
    const last = parts.pop();
    for (const part of parts)
        post('contentPart', part);
    postBody({ cmd: 'contentChanged', content: last, partCount: parts.length });
}

if (typeof QWebChannel !== 'undefined' && typeof qt !== 'undefined') {
    new QWebChannel(qt.webChannelTransport, channel => {
        handler = channel.objects.jsHandler;
        for (const body of pending.splice(0))
            handler.postMessage(body);
    });
}

// The error last reported: undefined before the first report, null for "none".
let reportedError;

function reportValidity(error) {
    if (error === reportedError)
        return;
    reportedError = error;
    post('error', error === null ? 'none' : error);
}

// --- The editor --------------------------------------------------------------------------------------------

// Marks the transactions that carry the window's text, which are never reported back as edits.
const fromWindow = Annotation.define();

// While the page shows a notice instead of the document, the editor is empty and read-only, and nothing in it
// is reported as an edit.
const editability = new Compartment();
const readOnly = [EditorState.readOnly.of(true), EditorView.editable.of(false)];
let notice = null;

let editTimer = null;

// Waits for a pause in typing; longer documents wait longer, since each report carries the whole text.
function editDelay(length) {
    return Math.min(300 + length / 20000, 2000);
}

function userEditSettled() {
    editTimer = null;
    const text = view.state.doc.toString();
    const error = jsonError(text);
    reportValidity(error);
    if (error === null)
        postText(text);
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
                clearTimeout(editTimer);
                editTimer = setTimeout(userEditSettled, editDelay(update.state.doc.length));
            }),
        ],
    }),
});

// --- Calls from the window ---------------------------------------------------------------------------------

// Shows `text` pretty-printed. Only the lines that differ from what is shown are replaced, so folds, the
// caret and the scroll position survive an edit made in the outline.
function updateContent(text, _reset) {
    const started = performance.now();
    clearTimeout(editTimer);
    editTimer = null;
    const change = linesChange(view.state.doc, prettyLines(text));
    const effects = notice ? editability.reconfigure([]) : [];
    if (change || notice) {
        view.dispatch({
            changes: change ?? [],
            effects,
            annotations: [fromWindow.of(true), Transaction.addToHistory.of(false)],
        });
    }
    if (notice) {
        notice.remove();
        notice = null;
    }
    reportValidity(null);
    window.lastUpdateMilliseconds = performance.now() - started;
    return true;
}

window.updateContent = updateContent;

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
    reportValidity(null);
    return true;
};
window.noticeText = () => (notice ? notice.textContent : null);

// A very long text arrives in parts before the updateContent call that shows it.
let pushedParts = [];
window.stagePushedText = (part, first) => {
    if (first)
        pushedParts = [];
    pushedParts.push(part);
    return true;
};
window.takePushedText = () => {
    const text = pushedParts.join('');
    pushedParts = [];
    return text;
};
// For the window's tests: the text shown, and an edit made as if typed.
window.editorText = () => view.state.doc.toString();
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
