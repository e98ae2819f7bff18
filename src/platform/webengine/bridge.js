// The program's side of every top-level document. Runs in an isolated world: page scripts
// cannot see these functions or the channel. Messages to the program go through
// sklBridge slots; the program's writes and queries come back through sklBridge.deliver.
(function () {
    'use strict';
    if (window.__sklBridge)
        return;
    window.__sklBridge = true;

    const MAX_TEXT = 4096;
    const HANDLE_BASE = 4294967296;
    const token = Math.floor(Math.random() * 0xfffff) + 1;
    const TYPES = {
        click: 0, dblclick: 1, contextmenu: 2, keydown: 3, keyup: 4, keypress: 5,
        focusin: 6, focusout: 7, mouseover: 8, mouseout: 9, mousedown: 10, mouseup: 11,
        wheel: 12, input: 13
    };

    let nextHandle = 1;
    const handles = new Map();
    const handleOf = new WeakMap();
    // A page that keeps replacing its elements (a feed, a long-lived application) must not
    // leave a dead entry behind for every element it ever reported.
    const forgetHandle = new FinalizationRegistry((h) => handles.delete(h));
    const highlightFonts = new WeakSet();
    let bridge = null;
    const outbox = [];
    let rules = [];
    const queue = [];
    let knownRoot = null;
    let ruleSheet = null;
    let snapshotTimer = 0;

    function post(method, args) {
        if (bridge)
            bridge[method].apply(bridge, args);
        else
            outbox.push([method, args]);
    }

    function handleFor(el) {
        if (!el)
            return 0;
        let h = handleOf.get(el);
        if (!h) {
            h = nextHandle++;
            handleOf.set(el, h);
            handles.set(h, new WeakRef(el));
            forgetHandle.register(el, h);
        }
        return token * HANDLE_BASE + h;
    }

    function resolve(ref) {
        if (!ref)
            return null;
        if (ref.handle) {
            if (Math.floor(ref.handle / HANDLE_BASE) !== token)
                return null;
            const w = handles.get(ref.handle % HANDLE_BASE);
            const el = w ? w.deref() : null;
            return el && el.isConnected ? el : null;
        }
        if (ref.id) {
            const el = document.getElementById(ref.id);
            if (el)
                return el;
            const named = document.getElementsByName(ref.id);
            return named.length ? named[0] : null;
        }
        return null;
    }

    function textOf(el) {
        const raw = el.textContent || '';
        // innerText needs layout; keep it for elements of a sensible size.
        const text = raw.length <= MAX_TEXT * 4 && typeof el.innerText === 'string'
            ? el.innerText : raw;
        return text.length > MAX_TEXT ? text.slice(0, MAX_TEXT) : text;
    }

    const TEXT_TYPES = new Set(['text', 'password', 'search', 'email', 'url', 'tel', 'number',
        'date', 'datetime-local', 'month', 'time', 'week', '']);

    function isEditable(el) {
        const tag = el.tagName;
        if (tag === 'TEXTAREA' || tag === 'SELECT')
            return true;
        if (tag === 'INPUT')
            return TEXT_TYPES.has((el.getAttribute('type') || '').toLowerCase());
        return !!el.isContentEditable;
    }

    function elementSnapshot(el) {
        const a = el.closest ? el.closest('a[href], area[href]') : null;
        const isInput = el.tagName === 'INPUT';
        return {
            handle: handleFor(el),
            id: el.id || '',
            tagName: (el.tagName || '').toUpperCase(),
            className: typeof el.className === 'string' ? el.className
                : (el.getAttribute('class') || ''),
            name: el.getAttribute('name') || '',
            text: textOf(el),
            value: typeof el.value === 'string' ? el.value : '',
            checked: !!el.checked,
            href: typeof el.href === 'string' ? el.href : (el.getAttribute('href') || ''),
            target: el.getAttribute('target') || '',
            type: isInput ? (el.type || '').toLowerCase()
                : (el.getAttribute('type') || '').toLowerCase(),
            styleText: el.getAttribute('style') || '',
            isEditable: isEditable(el),
            linkHref: a ? a.href : '',
            linkTarget: a ? (a.getAttribute('target') || '') : '',
            linkHandle: a ? handleFor(a) : 0
        };
    }

    function scrollElement() {
        return document.scrollingElement || document.documentElement || document.body;
    }

    function metaContent(name) {
        for (const m of document.getElementsByTagName('meta')) {
            if ((m.getAttribute('name') || '').toLowerCase() === name)
                return m.getAttribute('content') || '';
        }
        return '';
    }

    // Where the body's boxes end (floats included), independent of the viewport's height.
    // A body of many children (a long article) is measured by its scroll height instead.
    function contentHeight(body, se) {
        if (!body || body.tagName !== 'BODY')
            return se ? se.scrollHeight : 0;
        if (body.childElementCount > 50)
            return se ? se.scrollHeight : 0;
        let bottom = 0;
        for (const el of body.children) {
            const r = el.getBoundingClientRect();
            if (r.height > 0 && r.bottom > bottom)
                bottom = r.bottom;
        }
        return Math.ceil(bottom + (se ? se.scrollTop : 0));
    }

    function pageCookie() {
        try {
            return document.cookie;
        } catch (err) {
            return ''; // a scheme without cookies
        }
    }

    function docSnapshot() {
        const se = scrollElement();
        const body = document.body;
        const active = document.activeElement;
        const focused = active && active !== body && active !== document.documentElement;
        return {
            token: token,
            readyState: document.readyState,
            title: document.title,
            url: location.href,
            metaDescription: metaContent('description'),
            metaKeywords: metaContent('keywords'),
            frameCount: window.frames.length,
            iframeCount: document.getElementsByTagName('iframe').length,
            frameElementCount: document.getElementsByTagName('frame').length,
            linkCount: document.links.length,
            imageCount: document.images.length,
            formCount: document.forms.length,
            compatMode: document.compatMode,
            scrollTop: se ? Math.round(se.scrollTop) : 0,
            scrollLeft: se ? Math.round(se.scrollLeft) : 0,
            scrollHeight: se ? se.scrollHeight : 0,
            clientHeight: se && se.clientHeight ? se.clientHeight : window.innerHeight,
            clientWidth: se && se.clientWidth ? se.clientWidth : window.innerWidth,
            contentHeight: contentHeight(body, se),
            selectionText: String(window.getSelection ? window.getSelection() : ''),
            bodyZoom: body && body.style ? (body.style.zoom || '') : '',
            isFrameset: !!body && body.tagName === 'FRAMESET',
            bodyTextLength: body ? (body.textContent || '').length : 0,
            lastModified: document.lastModified,
            activeElementTag: focused ? active.tagName.toUpperCase() : '',
            activeElementEditable: focused ? isEditable(active) : false
        };
    }

    // What the last snapshot took: reading a huge document's text and links can cost tens of
    // milliseconds, and a page that keeps changing must not spend its time taking snapshots.
    let snapshotCost = 0;

    function pushSnapshot() {
        if (snapshotTimer) {
            clearTimeout(snapshotTimer);
            snapshotTimer = 0;
        }
        const started = performance.now();
        const snapshot = docSnapshot();
        snapshotCost = performance.now() - started;
        post('snapshot', [snapshot]);
    }

    function scheduleSnapshot() {
        if (!snapshotTimer)
            snapshotTimer = setTimeout(pushSnapshot, Math.max(60, 10 * snapshotCost));
    }

    function modifiersOf(e) {
        return (e.shiftKey ? 1 : 0) | (e.ctrlKey ? 2 : 0) | (e.altKey ? 4 : 0) |
            (e.metaKey ? 8 : 0);
    }

    function ruleMatches(r, e, src) {
        if (r.type !== TYPES[e.type])
            return false;
        if (r.keyCode !== undefined && r.keyCode !== null && r.keyCode !== (e.keyCode || 0))
            return false;
        if (r.modifiers !== undefined && r.modifiers !== null &&
            r.modifiers !== (modifiersOf(e) & 7))
            return false;
        if (r.buttons !== undefined && r.buttons !== null && r.buttons !== (e.buttons || 0))
            return false;
        if (r.selector) {
            try {
                if (!src.closest(r.selector))
                    return false;
            } catch (err) {
                return false;
            }
        }
        return true;
    }

    function wordAt(doc, x, y) {
        const range = doc.caretRangeFromPoint ? doc.caretRangeFromPoint(x, y) : null;
        if (!range || !range.startContainer || range.startContainer.nodeType !== 3)
            return '';
        const data = range.startContainer.data;
        let start = range.startOffset;
        let end = start;
        const isWord = (c) => /[\p{L}\p{N}_'-]/u.test(c);
        while (start > 0 && isWord(data[start - 1]))
            start--;
        while (end < data.length && isWord(data[end]))
            end++;
        return data.slice(start, end);
    }

    // Same-origin frames: their documents are within reach of this world, so the top's
    // listeners are put on them too. The index is that of the top-level frame holding the
    // document (window.frames); cross-origin frames stay out of reach.
    const armedFrameDocuments = new WeakSet();

    function frameIndexOf(doc) {
        if (!doc || doc === document)
            return -1;
        let w = doc.defaultView;
        try {
            while (w && w.parent && w.parent !== window && w.parent !== w)
                w = w.parent;
        } catch (err) {
            return -1;
        }
        for (let i = 0; i < window.frames.length; i++) {
            if (window.frames[i] === w)
                return i;
        }
        return -1;
    }

    function armFrames(doc) {
        let list = [];
        try {
            list = doc.querySelectorAll('iframe, frame');
        } catch (err) {
            return;
        }
        for (const el of list) {
            let d = null;
            try {
                d = el.contentDocument;
            } catch (err) {
                d = null;
            }
            if (!d || armedFrameDocuments.has(d))
                continue;
            armedFrameDocuments.add(d);
            armFrameDocument(d);
            // document.open() in the frame drops the listeners: put them back.
            let root = d.documentElement;
            new MutationObserver(() => {
                if (d.documentElement !== root) {
                    root = d.documentElement;
                    armFrameDocument(d);
                }
            }).observe(d, { childList: true });
        }
    }

    // Adding a listener that is already there changes nothing, so this may run again.
    function armFrameDocument(d) {
        for (const type of Object.keys(TYPES))
            d.addEventListener(type, onEvent, { capture: true, passive: false });
        d.addEventListener('submit', onSubmit, true);
        // A frame's own frames announce their documents here.
        d.addEventListener('load', onFrameLoad, true);
        armFrames(d);
    }

    function isFrameElement(el) {
        return !!el && (el.tagName === 'IFRAME' || el.tagName === 'FRAME');
    }

    function frameDocumentOf(el) {
        try {
            return el.contentDocument;
        } catch (err) {
            return null;
        }
    }

    // Every frame document is reported once, when complete. A frame's load event comes after
    // those of its own frames, which may have loaded before anything listened in it.
    const reportedFrameDocuments = new WeakSet();

    function reportFrame(el) {
        const d = frameDocumentOf(el);
        if (!d || reportedFrameDocuments.has(d) || d.readyState !== 'complete')
            return;
        for (const inner of d.querySelectorAll('iframe, frame'))
            reportFrame(inner);
        reportedFrameDocuments.add(d);
        const body = d.body;
        post('frameComplete', [{
            token: token,
            frame: handleFor(el),
            frameIndex: frameIndexOf(d),
            url: d.location ? d.location.href : '',
            bodyTextLength: body ? (body.textContent || '').length : 0
        }]);
    }

    // The frame's document meant by a page command: under the point, or holding the keyboard.
    function frameDocumentFor(at) {
        let d = document;
        let x = at ? at.x : 0;
        let y = at ? at.y : 0;
        for (;;) {
            const el = at ? d.elementFromPoint(x, y) : d.activeElement;
            const inner = isFrameElement(el) ? frameDocumentOf(el) : null;
            if (!inner)
                return d;
            if (at) {
                const r = el.getBoundingClientRect();
                x -= r.left + el.clientLeft;
                y -= r.top + el.clientTop;
            }
            d = inner;
        }
    }

    function scrollFramePage(m) {
        const d = frameDocumentFor(m.at);
        const win = d.defaultView;
        const se = d.scrollingElement || d.documentElement;
        if (!win || !se)
            return;
        const page = Math.max(1, (se.clientHeight || win.innerHeight) - m.overlap);
        win.scrollTo(win.scrollX, Math.max(0, se.scrollTop + (m.direction > 0 ? page : -page)));
    }

    function onFrameLoad(e) {
        const t = e.target;
        if (!isFrameElement(t))
            return;
        armFrames(t.ownerDocument || document);
        reportFrame(t);
    }

    function onEvent(e) {
        // Events a page makes up itself are not the user's: they must not move the program.
        if (!e.isTrusted)
            return;
        let src = e.target;
        if (src && src.nodeType === 9)
            src = src.documentElement;
        if (src && src.nodeType !== 1)
            src = src.parentElement || null;
        if (!src)
            src = document.documentElement;
        if (!src)
            return;
        const doc = src.ownerDocument || document;
        let prevented = false;
        for (const r of rules) {
            if (!ruleMatches(r, e, src))
                continue;
            if (r.preventDefault) {
                e.preventDefault();
                prevented = true;
            }
            if (r.stopPropagation)
                e.stopPropagation();
        }
        let delta = 0;
        if (e.type === 'wheel')
            delta = typeof e.wheelDelta === 'number' && e.wheelDelta !== 0 ? e.wheelDelta
                : (e.deltaY < 0 ? 120 : (e.deltaY > 0 ? -120 : 0));
        post('domEvent', [{
            type: TYPES[e.type],
            source: elementSnapshot(src),
            keyCode: e.keyCode || 0,
            modifiers: modifiersOf(e),
            button: e.button || 0,
            buttons: e.buttons || 0,
            wheelDelta: delta,
            clientX: Math.round(e.clientX || 0),
            clientY: Math.round(e.clientY || 0),
            frameIndex: frameIndexOf(doc),
            word: e.type === 'contextmenu' ? wordAt(doc, e.clientX, e.clientY) : '',
            defaultPrevented: prevented
        }]);
        if (e.type === 'focusin' || e.type === 'focusout' || e.type === 'mouseup' ||
            e.type === 'keyup')
            scheduleSnapshot();
    }

    function onSubmit(e) {
        const f = e.target;
        if (!f || f.tagName !== 'FORM')
            return;
        const method = (f.getAttribute('method') || 'get').toLowerCase();
        // The body of an ordinary post, for when the program sends the form elsewhere
        // (Shift + submit); a multipart body cannot be built again outside the page.
        let body = '';
        if (method === 'post' && (f.enctype || '').toLowerCase() ===
            'application/x-www-form-urlencoded') {
            try {
                const data = new FormData(f);
                if (e.submitter && e.submitter.name)
                    data.append(e.submitter.name, e.submitter.value || '');
                body = new URLSearchParams(data).toString();
            } catch (err) {
                body = '';
            }
        }
        post('formSubmit', [{ method: method, action: f.action || '', body: body }]);
    }

    // The snapshot goes first, so the program reads current figures when the state arrives.
    function onReadyState() {
        if (document.readyState !== 'loading')
            runQueue();
        pushSnapshot();
        post('state', [document.readyState, token]);
    }

    // document.open() erases every listener of the document: install them again whenever
    // the document element is replaced.
    function arm() {
        knownRoot = document.documentElement;
        ruleSheet = null;
        for (const type of Object.keys(TYPES)) {
            document.removeEventListener(type, onEvent, true);
            document.addEventListener(type, onEvent, { capture: true, passive: false });
        }
        document.removeEventListener('submit', onSubmit, true);
        document.addEventListener('submit', onSubmit, true);
        document.removeEventListener('readystatechange', onReadyState);
        document.addEventListener('readystatechange', onReadyState);
        document.removeEventListener('scroll', scheduleSnapshot, true);
        document.addEventListener('scroll', scheduleSnapshot, { capture: true, passive: true });
        document.removeEventListener('selectionchange', scheduleSnapshot);
        document.addEventListener('selectionchange', scheduleSnapshot);
        document.removeEventListener('load', onFrameLoad, true);
        document.addEventListener('load', onFrameLoad, true);
    }

    const rootWatch = new MutationObserver(() => {
        if (document.documentElement !== knownRoot) {
            arm();
            scheduleSnapshot();
        }
    });
    rootWatch.observe(document, { childList: true });

    let titleWatchTarget = null;
    const titleWatch = new MutationObserver(scheduleSnapshot);
    function watchTitle() {
        const head = document.head;
        if (head && head !== titleWatchTarget) {
            titleWatchTarget = head;
            titleWatch.disconnect();
            titleWatch.observe(head, { childList: true, subtree: true, characterData: true });
        }
    }

    // Writes and queries.
    function ruleStyleSheet() {
        if (ruleSheet && ruleSheet.ownerNode && ruleSheet.ownerNode.isConnected)
            return ruleSheet;
        const style = document.createElement('style');
        (document.head || document.documentElement).appendChild(style);
        ruleSheet = style.sheet;
        return ruleSheet;
    }

    // Highlighting works through the text in slices of a few milliseconds, one slice per
    // frame: every mark makes its paragraph's layout run again, and that costs more than the
    // mark, so a frame must not take on several slices' worth. A page that draws no frames
    // (hidden) goes on by a timer. stopHighlighting() ends every job still under way.
    const highlightJobs = new Set();
    const HIGHLIGHT_SLICE_MS = 8;

    function afterNextFrame(fn) {
        let ran = false;
        const go = () => {
            if (!ran) {
                ran = true;
                setTimeout(fn, 0);
            }
        };
        requestAnimationFrame(go);
        setTimeout(go, 100);
    }

    function highlight(terms, styles, doc) {
        const body = doc.body;
        if (!body)
            return;
        const job = { cancelled: false };
        highlightJobs.add(job);
        let index = -1;
        let walker = null;
        let lower = '';
        let length = 0;
        let style = '';
        const accept = {
            acceptNode(node) {
                const p = node.parentElement;
                if (!p || /^(SCRIPT|STYLE|TEXTAREA|NOSCRIPT|OPTION)$/.test(p.tagName))
                    return NodeFilter.FILTER_REJECT;
                if (highlightFonts.has(p))
                    return NodeFilter.FILTER_REJECT;
                return node.data.toLowerCase().includes(lower) ? NodeFilter.FILTER_ACCEPT
                    : NodeFilter.FILTER_REJECT;
            }
        };
        function nextTerm() {
            while (++index < terms.length) {
                if (!terms[index])
                    continue;
                lower = terms[index].toLowerCase();
                length = terms[index].length;
                style = styles.length ? styles[index % styles.length]
                    : 'color:red;background-color:yellow';
                walker = doc.createTreeWalker(body, NodeFilter.SHOW_TEXT, accept);
                return true;
            }
            return false;
        }
        // One mark per step: the walker goes on with the text after it.
        function mark(node) {
            const at = node.data.toLowerCase().indexOf(lower);
            if (at < 0 || !node.parentNode)
                return;
            const match = node.splitText(at);
            match.splitText(length);
            const font = doc.createElement('font');
            font.setAttribute('style', style);
            highlightFonts.add(font);
            match.parentNode.replaceChild(font, match);
            font.appendChild(match);
        }
        function slice() {
            if (job.cancelled || !body.isConnected) {
                highlightJobs.delete(job);
                return;
            }
            const end = performance.now() + HIGHLIGHT_SLICE_MS;
            let steps = 0;
            while ((++steps & 15) !== 0 || performance.now() < end) {
                if (!walker && !nextTerm()) {
                    highlightJobs.delete(job);
                    return;
                }
                const node = walker.nextNode();
                if (node)
                    mark(node);
                else
                    walker = null;
            }
            afterNextFrame(slice);
        }
        slice();
    }

    function stopHighlighting() {
        for (const job of highlightJobs)
            job.cancelled = true;
        highlightJobs.clear();
    }

    function removeHighlights() {
        stopHighlighting();
        eachDocument((d) => {
            const parents = new Set();
            for (const font of Array.from(d.getElementsByTagName('font'))) {
                if (!highlightFonts.has(font) || !font.parentNode)
                    continue;
                parents.add(font.parentNode);
                while (font.firstChild)
                    font.parentNode.insertBefore(font.firstChild, font);
                font.remove();
                highlightFonts.delete(font);
            }
            for (const p of parents)
                p.normalize();
        });
    }

    function fieldInfo(el) {
        return {
            tagName: el.tagName.toUpperCase(),
            type: el.tagName === 'INPUT' ? (el.type || '').toLowerCase()
                : (el.tagName === 'SELECT' ? (el.type || 'select-one') : el.tagName.toLowerCase()),
            name: el.getAttribute('name') || '',
            id: el.id || '',
            value: typeof el.value === 'string' ? el.value : '',
            checked: !!el.checked,
            selectedIndexes: el.tagName === 'SELECT'
                ? Array.from(el.options).flatMap((o, i) => (o.selected ? [i] : [])) : []
        };
    }

    const TEXT_LIKE = /^(text|password|textarea|email|search|tel|url|number)$/;

    // As the user's own change: the page's scripts hear of it.
    function changed(el) {
        el.dispatchEvent(new Event('input', { bubbles: true }));
        el.dispatchEvent(new Event('change', { bubbles: true }));
    }

    function fillField(el, saved) {
        const info = fieldInfo(el);
        if (TEXT_LIKE.test(info.type) && saved.type === 't') {
            el.value = saved.value;
        } else if (info.type === 'checkbox' && saved.type === 'c') {
            el.checked = saved.value.toLowerCase() === 'true';
        } else if (info.type === 'radio' && saved.type === 'r') {
            if (el.value !== saved.value)
                return;
            el.checked = true;
        } else if (info.type.startsWith('select') && saved.type === 's') {
            const index = Number(saved.value);
            if (!Number.isInteger(index) || index < 0 || index >= el.options.length)
                return;
            el.options[index].selected = true;
        } else {
            return;
        }
        changed(el);
    }

    // The selection of the top document or, when it has none, of the frame that holds one (the
    // focused frame first), as a detached copy; its links are made absolute, as the page they
    // come from resolves them.
    function selectionFragment() {
        let found = null;
        const take = (d) => {
            if (found || !d)
                return;
            const sel = d.defaultView ? d.defaultView.getSelection() : null;
            if (!sel || sel.rangeCount === 0 || sel.isCollapsed)
                return;
            const div = d.createElement('div');
            for (let i = 0; i < sel.rangeCount; i++)
                div.appendChild(sel.getRangeAt(i).cloneContents());
            for (const a of div.querySelectorAll('a[href], area[href]')) {
                try {
                    a.setAttribute('href', new URL(a.getAttribute('href'), d.baseURI).href);
                } catch (err) {
                    // an address the page could not follow either stays as it is
                }
            }
            found = { div: div, base: d.baseURI };
        };
        take(document);
        const active = document.activeElement;
        if (active && isFrameElement(active))
            take(frameDocumentOf(active));
        eachDocument(take);
        return found;
    }

    function eachDocument(fn) {
        fn(document, -1);
        for (let i = 0; i < window.frames.length; i++) {
            try {
                const d = window.frames[i].document;
                if (d)
                    fn(d, i);
            } catch (err) {
                // a frame of another origin stays out of reach
            }
        }
    }

    const queries = {
        links() {
            const out = [];
            eachDocument((d, frame) => {
                for (const a of d.links)
                    out.push({ href: a.href, innerHTML: a.innerHTML,
                               text: a.innerText || a.textContent || '', frameIndex: frame });
            });
            return out;
        },
        forms() {
            const out = [];
            eachDocument((d, frame) => {
                for (const f of d.forms) {
                    const fields = [];
                    for (const el of f.elements) {
                        if (/^(INPUT|TEXTAREA|SELECT)$/.test(el.tagName))
                            fields.push(fieldInfo(el));
                    }
                    out.push({ name: f.getAttribute('name') || '', id: f.id || '',
                               action: f.action || '',
                               method: (f.getAttribute('method') || 'get').toLowerCase(),
                               fields: fields, frameIndex: frame });
                }
            });
            return out;
        },
        meta() {
            return Array.from(document.getElementsByTagName('meta')).map((m) => ({
                name: m.getAttribute('name') || '',
                httpEquiv: m.getAttribute('http-equiv') || '',
                content: m.getAttribute('content') || ''
            }));
        },
        headings() {
            return Array.from(document.querySelectorAll('h1,h2,h3,h4,h5,h6')).map((h) => ({
                level: Number(h.tagName.substring(1)),
                text: (h.innerText || h.textContent || '').trim(),
                id: h.id || '',
                handle: handleFor(h)
            }));
        },
        outerHTML() {
            return document.documentElement ? document.documentElement.outerHTML : '';
        },
        cookie() {
            return pageCookie();
        },
        bodyText() {
            return document.body ? (document.body.innerText || '') : '';
        },
        frameSources() {
            const out = [];
            eachDocument((d, frame) => {
                if (frame < 0)
                    return;
                out.push({ url: d.URL, title: d.title,
                           iframes: d.getElementsByTagName('iframe').length,
                           links: d.links.length, images: d.images.length, forms: d.forms.length,
                           html: d.documentElement ? d.documentElement.outerHTML : '' });
            });
            // The frames of another origin, by the address their element loaded.
            for (const el of document.querySelectorAll('frame, iframe')) {
                let reachable = false;
                try {
                    reachable = !!el.contentDocument;
                } catch (err) {
                }
                if (!reachable && el.src)
                    out.push({ url: el.src, unreadable: true });
            }
            return out;
        },
        styleSheets() {
            return Array.from(document.styleSheets).map((s) => {
                let text = '';
                try {
                    text = Array.from(s.cssRules).map((r) => r.cssText).join('\n');
                } catch (err) {
                    // the rules of another origin's sheet are out of reach
                }
                return { href: s.href || '', text: text };
            });
        },
        selectedHTML() {
            const found = selectionFragment();
            return found ? found.div.innerHTML : '';
        },
        // The selection to keep in another document: absolute addresses, and nothing that
        // runs (scripts, handlers, script addresses) or reaches out (frames, objects).
        selectionForCopy() {
            const found = selectionFragment();
            if (!found)
                return '';
            const { div, base } = found;
            for (const el of div.querySelectorAll(
                'script, style, noscript, iframe, frame, object, embed, link, meta, base'))
                el.remove();
            for (const el of div.querySelectorAll('*')) {
                for (const attr of Array.from(el.attributes)) {
                    const name = attr.name.toLowerCase();
                    if (name.startsWith('on') || name === 'srcset') {
                        el.removeAttribute(attr.name);
                    } else if (name === 'href' || name === 'src' || name === 'action') {
                        let url = null;
                        try {
                            url = new URL(attr.value, base);
                        } catch (err) {
                            url = null;
                        }
                        if (url && ['http:', 'https:', 'ftp:', 'mailto:', 'file:'].includes(url.protocol))
                            el.setAttribute(attr.name, url.href);
                        else
                            el.removeAttribute(attr.name);
                    }
                }
            }
            return div.innerHTML;
        },
        element(args) {
            const el = resolve(args.ref);
            if (!el)
                return null;
            const s = elementSnapshot(el);
            const r = el.getBoundingClientRect();
            s.rect = [Math.round(r.left), Math.round(r.top), Math.round(r.width),
                Math.round(r.height)];
            return s;
        },
        selectorAll(args) {
            let list = [];
            try {
                list = Array.from(document.querySelectorAll(args.selector)).slice(0, 10000);
            } catch (err) {
                list = [];
            }
            return list.map(elementSnapshot);
        }
    };

    // A write the page could not apply, or an operation this bridge does not know: the
    // program counts them (a silent loss would hide a fault on either side).
    function failed(m, err) {
        post('writeFailed', [{ op: String(m.op), what: String(m.what || ''),
                               error: String(err || '') }]);
    }

    const ELEMENT_OPS = new Set(['innerHTML', 'innerText', 'outerHTML', 'insertAdjacentHTML',
        'style', 'attr', 'value', 'checked', 'scrollIntoView', 'focus', 'selectText', 'frameZoom',
        'frameHighlight']);

    function apply(m) {
        if (m.op === 'query') {
            let result = null;
            if (typeof queries[m.what] !== 'function')
                failed(m, 'unknown query');
            try {
                result = queries[m.what](m.args || {});
            } catch (err) {
                result = null;
            }
            post('reply', [m.id, result === undefined ? null : result]);
            return;
        }
        if (m.op === 'cssRule') {
            const sheet = ruleStyleSheet();
            try {
                sheet.insertRule(m.selector + '{' + m.declarations + '}', sheet.cssRules.length);
            } catch (err) {
                // an invalid rule is ignored, as a browser ignores it in a style sheet
            }
            return;
        }
        if (m.op === 'scaleImages') {
            const factor = Number(m.factor) || 1;
            eachDocument((d) => {
                for (const img of d.images) {
                    // The size drawn now, so that each use enlarges by the factor again.
                    const w = img.width, h = img.height;
                    if (w > 0 && h > 0) {
                        img.width = Math.round(w * factor);
                        img.height = Math.round(h * factor);
                    }
                }
            });
            return;
        }
        if (m.op === 'bodyZoom') {
            if (document.body)
                document.body.style.zoom = m.value;
            return;
        }
        if (m.op === 'scrollTo') {
            window.scrollTo(m.x, m.y);
            return;
        }
        if (m.op === 'framePage') {
            scrollFramePage(m);
            return;
        }
        if (m.op === 'highlight') {
            highlight(m.terms || [], m.styles || [], document);
            return;
        }
        if (m.op === 'stopHighlight') {
            stopHighlighting();
            return;
        }
        if (m.op === 'removeHighlights') {
            removeHighlights();
            return;
        }
        if (m.op === 'fillForms') {
            const saved = new Map((m.values || []).map((v) => [v.name, v]));
            eachDocument((d) => {
                for (const f of d.forms) {
                    for (const el of f.elements) {
                        const v = saved.get(el.getAttribute('name') || '');
                        if (v && /^(INPUT|TEXTAREA|SELECT)$/.test(el.tagName))
                            fillField(el, v);
                    }
                }
            });
            return;
        }
        if (m.op === 'resetForms') {
            eachDocument((d) => {
                for (const f of d.forms)
                    f.reset();
            });
            return;
        }
        if (m.op === 'execCommand') {
            document.execCommand(m.command, !!m.showUi, m.value);
            return;
        }
        if (m.op === 'focusWindow') {
            window.focus();
            return;
        }
        if (!ELEMENT_OPS.has(m.op)) {
            failed(m, 'unknown operation');
            return;
        }
        // A missing element is no failure: the program writes to what a page may not have.
        const el = resolve(m.ref);
        if (!el)
            return;
        switch (m.op) {
        case 'innerHTML': el.innerHTML = m.html; break;
        case 'innerText': el.innerText = m.text; break;
        case 'outerHTML': el.outerHTML = m.html; break;
        case 'insertAdjacentHTML': el.insertAdjacentHTML(m.where, m.html); break;
        case 'style': el.style.setProperty(m.property, m.value); break;
        case 'attr':
            if (m.value === null)
                el.removeAttribute(m.name);
            else
                el.setAttribute(m.name, m.value);
            break;
        case 'value': el.value = m.value; break;
        case 'checked': el.checked = !!m.checked; break;
        case 'scrollIntoView': el.scrollIntoView(); break;
        case 'focus': el.focus(); break;
        case 'selectText':
            el.focus();
            if (typeof el.select === 'function')
                el.select();
            break;
        case 'frameZoom':
        case 'frameHighlight': {
            const d = isFrameElement(el) ? frameDocumentOf(el) : null;
            if (!d)
                break;
            if (m.op === 'frameHighlight')
                highlight(m.terms || [], m.styles || [], d);
            else if (d.body)
                d.body.style.zoom = m.value;
            break;
        }
        }
    }

    function runQueue() {
        if (document.readyState === 'loading')
            return;
        watchTitle();
        let touched = false;
        while (queue.length) {
            const m = queue.shift();
            try {
                apply(m);
            } catch (err) {
                // one failing write must not stop the ones after it
                failed(m, err);
            }
            if (m.op !== 'query')
                touched = true;
        }
        if (touched)
            scheduleSnapshot();
    }

    function deliver(messages) {
        for (const m of messages) {
            if (m.op === 'rules')
                rules = m.rules || [];
            else
                queue.push(m);
        }
        runQueue();
    }

    function connect() {
        if (typeof qt === 'undefined' || !qt.webChannelTransport) {
            setTimeout(connect, 20);
            return;
        }
        new QWebChannel(qt.webChannelTransport, (channel) => {
            const b = channel.objects.sklBridge;
            if (!b)
                return;
            b.deliver.connect(deliver);
            b.hello({ token: token, url: location.href, readyState: document.readyState,
                      snapshot: docSnapshot() });
            bridge = b;
            while (outbox.length) {
                const [method, args] = outbox.shift();
                b[method].apply(b, args);
            }
            pushSnapshot();
        });
    }

    arm();
    document.addEventListener('DOMContentLoaded', () => {
        watchTitle();
        armFrames(document);
        runQueue();
    });
    window.addEventListener('load', () => { watchTitle(); armFrames(document); pushSnapshot(); });
    window.addEventListener('resize', scheduleSnapshot);
    connect();
})();
