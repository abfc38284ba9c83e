// The code viewer's editor page. The host drives it through the global `CodeMirror` object and
// hears from it through the Qt web channel object "host" (messages "codeMirrorDidReady" and
// "codeMirrorContentDidChange"). Every argument arrives as a JSON literal; no text is ever
// turned into markup or script here.
import { EditorState, Compartment } from "@codemirror/state";
import {
    EditorView, keymap, lineNumbers, highlightActiveLineGutter, highlightSpecialChars,
    drawSelection, highlightActiveLine, rectangularSelection,
} from "@codemirror/view";
import {
    syntaxHighlighting, defaultHighlightStyle, bracketMatching, foldGutter, foldKeymap,
} from "@codemirror/language";
import { history, historyKeymap, defaultKeymap, indentWithTab } from "@codemirror/commands";
import { search, searchKeymap, highlightSelectionMatches } from "@codemirror/search";
import { javascript } from "@codemirror/lang-javascript";
import { json } from "@codemirror/lang-json";
import { html } from "@codemirror/lang-html";
import { css } from "@codemirror/lang-css";
import { xml } from "@codemirror/lang-xml";
import { oneDark } from "@codemirror/theme-one-dark";

const languages = {
    javascript: () => javascript(),
    json: () => json(),
    html: () => html({ autoCloseTags: false }),
    css: () => css(),
    xml: () => xml({ autoCloseTags: false }),
    txt: () => [],
};

const settings = { darkMode: false, lineWrapping: false, readOnly: false, language: "json", followsEnd: false };
// The line break the current text uses; see lineBreakOf().
let lineBreak = "\n";

const languageSlot = new Compartment();
const themeSlot = new Compartment();
const wrapSlot = new Compartment();
const readOnlySlot = new Compartment();
const lineBreakSlot = new Compartment();

// The light look keeps the page transparent so the window shows through; the dark one is
// One Dark with its own background.
const lightTheme = EditorView.theme({
    "&": { height: "100%" },
    ".cm-scroller": { fontFamily: "monospace" },
});
const darkTheme = [oneDark, EditorView.theme({
    "&": { height: "100%" },
    ".cm-scroller": { fontFamily: "monospace" },
}, { dark: true })];

function themeFor(dark) {
    return dark ? darkTheme : [lightTheme, syntaxHighlighting(defaultHighlightStyle, { fallback: true })];
}

function readOnlyFor(on) {
    return EditorState.readOnly.of(on);
}

let host = null;
function post(name) {
    if (host) {
        host.post(name, null);
    }
}

function extensions() {
    return [
        lineNumbers(),
        highlightActiveLineGutter(),
        highlightSpecialChars(),
        history(),
        foldGutter(),
        drawSelection(),
        EditorState.allowMultipleSelections.of(true),
        bracketMatching(),
        rectangularSelection(),
        highlightActiveLine(),
        highlightSelectionMatches(),
        search({ top: true }),
        keymap.of([...defaultKeymap, ...searchKeymap, ...historyKeymap, ...foldKeymap, indentWithTab]),
        EditorView.updateListener.of((update) => {
            // setContent swaps the whole state and makes no update here, so this is an edit.
            if (update.docChanged) {
                post("codeMirrorContentDidChange");
            }
        }),
        lineBreakSlot.of(EditorState.lineSeparator.of(lineBreak)),
        languageSlot.of(languages[settings.language]()),
        themeSlot.of(themeFor(settings.darkMode)),
        wrapSlot.of(settings.lineWrapping ? EditorView.lineWrapping : []),
        readOnlySlot.of(readOnlyFor(settings.readOnly)),
    ];
}

// The host opens the page with its settings in the fragment ("#darkMode=true&language=xml"), so
// the first paint already has the final look. A page that started transparent and turned dark
// only when the settings arrived was often never painted again. Unknown values are ignored.
function applyInitialSettings() {
    const given = new URLSearchParams(window.location.hash.slice(1));
    for (const name of ["darkMode", "lineWrapping", "readOnly"]) {
        const value = given.get(name);
        if (value === "true" || value === "false") {
            settings[name] = value === "true";
        }
    }
    const language = given.get("language");
    if (language !== null && Object.prototype.hasOwnProperty.call(languages, language)) {
        settings.language = language;
    }
    document.documentElement.classList.toggle("dark", settings.darkMode);
}
applyInitialSettings();

const view = new EditorView({
    state: EditorState.create({ doc: "", extensions: extensions() }),
    parent: document.getElementById("editor"),
});

// The editor keeps the text's own line breaks so that what the host gets back is exactly what it
// put in: one kind of break throughout is kept as the separator; a text that mixes them is split
// on "\n" only, and any "\r" stays in the line as a visible special character.
function lineBreakOf(text) {
    if (text.indexOf("\r") < 0) {
        return "\n";
    }
    const loneCr = /\r(?!\n)/.test(text);
    const loneLf = /(^|[^\r])\n/.test(text);
    if (!loneCr && !loneLf) {
        return "\r\n";
    }
    if (loneCr && text.indexOf("\n") < 0) {
        return "\r";
    }
    return "\n";
}

// Pixels from the bottom within which a reader counts as at the end (less than a line; the
// editor's own scroll-into-view stops a few pixels short).
const kEndSlack = 8;

function requireBool(name, value) {
    if (typeof value !== "boolean") {
        throw new TypeError(name + " expects a boolean");
    }
}

function reconfigure(slot, extension) {
    view.dispatch({ effects: slot.reconfigure(extension) });
}

const api = {
    setDarkMode(value) {
        requireBool("setDarkMode", value);
        settings.darkMode = value;
        document.documentElement.classList.toggle("dark", value);
        reconfigure(themeSlot, themeFor(value));
    },
    setLineWrapping(value) {
        requireBool("setLineWrapping", value);
        settings.lineWrapping = value;
        reconfigure(wrapSlot, value ? EditorView.lineWrapping : []);
    },
    setReadOnly(value) {
        requireBool("setReadOnly", value);
        settings.readOnly = value;
        reconfigure(readOnlySlot, readOnlyFor(value));
    },
    setLanguage(value) {
        if (typeof value !== "string" || !Object.prototype.hasOwnProperty.call(languages, value)) {
            throw new TypeError("setLanguage: unknown language " + JSON.stringify(value));
        }
        settings.language = value;
        reconfigure(languageSlot, languages[value]());
    },
    setFollowsEnd(value) {
        requireBool("setFollowsEnd", value);
        settings.followsEnd = value;
    },
    setContent(value) {
        if (typeof value !== "string") {
            throw new TypeError("setContent expects a text");
        }
        // A log keeps the reader's place: one at the end stays at the end (the pixel offset alone
        // would land elsewhere once the new state's guessed line heights differ from the measured
        // ones), also when its oldest lines were dropped, and a new log opens at its newest line.
        // Any other viewer shows each text as a new document, from its top: the page keeps the
        // old scroll offset through a new state, which would open the next body wherever the
        // last one was left.
        const old = view.state;
        const scroller = view.scrollDOM;
        const scrollTop = scroller.scrollTop;
        const atEnd = old.doc.length > 0 && scroller.scrollHeight - scroller.clientHeight - scrollTop < kEndSlack;
        const isLog = settings.followsEnd;
        lineBreak = lineBreakOf(value);
        // A fresh state rather than a change: it takes the new line separator and drops an undo
        // history that would only lead back to an earlier message.
        view.setState(EditorState.create({ doc: value, extensions: extensions() }));
        if (isLog && (atEnd || old.doc.length === 0)) {
            // Scrolled after the editor has measured what it shows.
            view.dispatch({ effects: EditorView.scrollIntoView(value.length, { y: "end" }) });
        } else if (isLog) {
            scroller.scrollTop = scrollTop;
        } else {
            scroller.scrollTop = 0;
            view.dispatch({ effects: EditorView.scrollIntoView(0, { y: "start" }) });
        }
    },
    getContent() {
        return view.state.sliceDoc();
    },
    // What the editor really runs with, read back from its state (for diagnostics and tests).
    describe() {
        const content = view.contentDOM;
        return {
            darkMode: view.state.facet(EditorView.darkTheme),
            lineWrapping: content.classList.contains("cm-lineWrapping"),
            readOnly: view.state.readOnly,
            language: content.getAttribute("data-language") || "txt",
            lineBreak: view.state.lineBreak,
            length: view.state.doc.length,
        };
    },
};

Object.freeze(api);
Object.defineProperty(window, "CodeMirror", { value: api, writable: false, configurable: false });

// The channel is connected only when the page runs inside the host; opened on its own it still
// works as an editor.
if (typeof QWebChannel !== "undefined" && typeof qt !== "undefined" && qt.webChannelTransport) {
    new QWebChannel(qt.webChannelTransport, (channel) => {
        host = channel.objects.host || null;
        post("codeMirrorDidReady");
    });
}
