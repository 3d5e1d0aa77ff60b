// The phone's place in the party's queue: a song book's own WebSocket (it never takes a singer
// slot) says who the guest is, adds the songs they choose ("Sing this" in the song book), moves
// or takes out their own, asks for a medley of songs drawn at random, and shows the queue as the game pushes it after every change, with
// when each song is expected to start. The guest's name and token are kept on the phone, so a
// page opened again finds its songs. The phone that opened the host's code also gets the host's
// actions. Text from the game is only ever shown through textContent.
'use strict';

(() => {
    // A dropped connection is taken up again no sooner than this: the queue is pushed, never
    // polled.
    const kReconnectMs = 5000;
    const kRefreshTimesMs = 15000;
    const kNameStore = 'cantorix.name';
    const kTokenStore = 'cantorix.guest';
    const kMaxNameCharacters = 32;

    const view = {
        tabs: [document.getElementById('singTab'), document.getElementById('bookTab')],
        sections: [document.getElementById('singView'), document.getElementById('book')],
        tab: document.getElementById('queueTab'),
        queue: document.getElementById('queue'),
        next: document.getElementById('queueNext'),
        up: document.getElementById('queueUp'),
        status: document.getElementById('queueStatus'),
        list: document.getElementById('queueList'),
        hostBar: document.getElementById('queueHost'),
        pause: document.getElementById('queuePause'),
        start: document.getElementById('queueStart'),
        skip: document.getElementById('queueSkip'),
        clear: document.getElementById('queueClear'),
        form: document.getElementById('queueForm'),
        formTitle: document.getElementById('queueFormTitle'),
        name: document.getElementById('queueName'),
        partnerField: document.getElementById('queuePartnerField'),
        partner: document.getElementById('queuePartner'),
        partnerName: document.getElementById('queuePartnerName'),
        voiceField: document.getElementById('queueVoiceField'),
        voice: document.getElementById('queueVoice'),
        add: document.getElementById('queueAdd'),
        medleySongs: document.getElementById('queueMedleySongs'),
        medley: document.getElementById('queueMedley'),
        cancel: document.getElementById('queueCancel'),
    };

    const query = new URLSearchParams(location.search);
    const key = query.get('k') || '';
    const hostKey = query.get('host') || '';

    let socket = null;
    let reconnectTimer = 0;
    let me = { guest: 0, name: '', host: false };
    let shown = null; // the latest queue news, and when it came
    let shownAt = 0;
    let chosen = null; // the song "Sing this" was tapped on, or { medley: songs }
    let lastNext = '';

    function read(name) {
        try {
            return localStorage.getItem(name) || '';
        } catch {
            return '';
        }
    }
    function write(name, value) {
        try {
            if (value)
                localStorage.setItem(name, value);
            else
                localStorage.removeItem(name);
        } catch {
            // Private browsing: the name is asked again next time.
        }
    }

    function cleanName(typed) {
        return Array.from(String(typed).replace(/[\p{Cc}\p{Cf}]/gu, '').replace(/\s+/gu, ' ')
            .trim()).slice(0, kMaxNameCharacters).join('').trim();
    }

    function showQueueTab(on) {
        view.queue.hidden = !on;
        view.tab.setAttribute('aria-pressed', String(on));
        if (!on)
            return;
        for (const section of view.sections)
            section.hidden = true;
        for (const tab of view.tabs)
            tab.setAttribute('aria-pressed', 'false');
        connect();
    }

    function say(message) {
        if (socket && socket.readyState === WebSocket.OPEN)
            socket.send(JSON.stringify(message));
        else
            view.status.textContent = 'The game is not reached at the moment: trying again.';
    }

    function connect() {
        if (socket || !key)
            return;
        clearTimeout(reconnectTimer);
        const opened = new WebSocket(`wss://${location.host}/socket?k=${encodeURIComponent(key)}`);
        socket = opened;
        opened.onopen = () => {
            opened.send(JSON.stringify({ type: 'guest', name: read(kNameStore),
                                         token: read(kTokenStore), host: hostKey }));
        };
        opened.onmessage = (event) => {
            let message;
            try {
                message = JSON.parse(event.data);
            } catch {
                return;
            }
            if (message && typeof message === 'object')
                onMessage(message);
        };
        opened.onclose = () => {
            if (socket !== opened)
                return;
            socket = null;
            reconnectTimer = setTimeout(connect, kReconnectMs);
        };
    }

    function onMessage(message) {
        switch (message.type) {
        case 'guest':
            me = { guest: Number(message.guest) || 0, name: String(message.name || ''),
                   host: message.host === true };
            if (me.guest && message.token)
                write(kTokenStore, String(message.token));
            if (me.name)
                write(kNameStore, me.name);
            view.hostBar.hidden = !me.host;
            if (chosen && me.guest)
                send(chosen);
            break;
        case 'queue':
            shown = message;
            shownAt = performance.now();
            render();
            break;
        case 'answer':
            view.status.textContent = String(message.text || '');
            break;
        case 'up':
            // The call to sing replaces what the page said before.
            view.status.textContent = '';
            showQueueTab(true);
            view.up.hidden = false;
            view.up.dataset.slot = String(Number(message.slot) || 0);
            navigator.vibrate?.([200, 100, 200]);
            break;
        case 'refused':
            view.status.textContent = String(message.reason || '');
            break;
        default:
            break;
        }
    }

    function startsText(ms) {
        const minutes = Math.round(ms / 60000);
        if (ms <= 0)
            return 'next';
        return minutes < 1 ? 'in under a minute' : `in about ${minutes} min`;
    }

    function button(text, action) {
        const made = document.createElement('button');
        made.type = 'button';
        made.textContent = text;
        made.addEventListener('click', action);
        return made;
    }

    function render() {
        if (!shown)
            return;
        const elapsed = performance.now() - shownAt;
        const rows = Array.isArray(shown.rows) ? shown.rows : [];
        view.list.replaceChildren(...rows.map((row) => {
            const item = document.createElement('li');
            if (row.mine)
                item.className = 'mine';
            const title = document.createElement('span');
            title.className = 'title';
            title.textContent = row.gone ? 'No longer in the library' : String(row.title || '');
            const who = document.createElement('span');
            who.className = 'artist';
            const singers = Array.isArray(row.singers) ? row.singers.map(String) : [];
            who.textContent = `${row.gone ? '' : `${row.artist} · `}${singers.join(' & ')}`;
            const when = document.createElement('span');
            when.className = 'when';
            when.textContent = startsText(Math.max(0, Number(row.startsIn) - elapsed));
            item.append(title, who, when);
            const actions = document.createElement('span');
            actions.className = 'actions';
            if (row.mine) {
                actions.append(button('Later', () => say({ type: 'later', entry: row.entry })),
                               button('Remove', () => say({ type: 'remove', entry: row.entry })));
            } else if (me.host) {
                actions.append(
                    button('Play next', () => say({ type: 'host', action: 'next', entry: row.entry })),
                    button('Remove', () => say({ type: 'host', action: 'remove', entry: row.entry })));
            }
            if (actions.children.length)
                item.append(actions);
            return item;
        }));
        if (!rows.length)
            view.status.textContent = shown.paused ? 'The queue is paused.'
                                                   : 'The queue is empty: choose a song in the song book.';
        else if (shown.paused)
            view.status.textContent = 'The queue is paused.';
        const next = String(shown.next || '');
        view.next.textContent = next;
        view.next.hidden = !next;
        if (next && next !== lastNext)
            navigator.vibrate?.(300);
        lastNext = next;
        if (shown.gone)
            view.status.textContent = String(shown.gone);
        view.pause.textContent = shown.paused ? 'Resume' : 'Pause';
        view.partner.replaceChildren(new Option('Someone not in line', ''),
            ...(Array.isArray(shown.guests) ? shown.guests : [])
                .filter((guest) => Number(guest.id) !== me.guest)
                .map((guest) => new Option(String(guest.name), String(guest.id))));
    }

    function send(song) {
        const message = song.medley ? { type: 'medley', songs: song.medley }
                                    : { type: 'add', song: song.id };
        if (song.duet) {
            const partner = Number(view.partner.value) || 0;
            if (partner)
                message.partner = partner;
            else
                message.partnerName = cleanName(view.partnerName.value);
            if (view.voice.value !== '')
                message.voice = Number(view.voice.value);
        }
        chosen = null;
        view.form.hidden = true;
        say(message);
        showQueueTab(true);
    }

    // The name first if the phone has none, and for a duet the partner and the voice.
    function askFor(song, title) {
        chosen = song;
        view.formTitle.textContent = title;
        view.name.value = me.name || read(kNameStore);
        view.partnerField.hidden = !song.duet;
        view.voiceField.hidden = !song.duet;
        view.form.hidden = false;
        connect();
        (me.name ? view.add : view.name).focus();
    }

    // "Sing this" in the song book.
    document.addEventListener('sing-this', (event) => {
        const song = event.detail || {};
        if (song.id)
            askFor(song, String(song.title || ''));
    });

    // A medley is drawn by the game; a guest in line adds it at once.
    view.medley.addEventListener('click', () => {
        const songs = Number(view.medleySongs.value) || 5;
        if (me.guest)
            send({ medley: songs });
        else
            askFor({ medley: songs }, `A medley of ${songs} songs`);
    });

    view.add.addEventListener('click', () => {
        const name = cleanName(view.name.value);
        if (!name) {
            view.name.focus();
            return;
        }
        if (me.guest && name === me.name) {
            send(chosen);
            return;
        }
        // A new name (or none yet): the game puts the guest in line, then the song follows.
        write(kNameStore, name);
        if (socket && socket.readyState === WebSocket.OPEN)
            socket.send(JSON.stringify({ type: 'guest', name, token: read(kTokenStore),
                                         host: hostKey }));
        else
            connect();
    });
    view.cancel.addEventListener('click', () => {
        chosen = null;
        view.form.hidden = true;
    });
    view.up.addEventListener('click', () => {
        view.up.hidden = true;
        const slot = Number(view.up.dataset.slot) || 0;
        view.tabs[0].click();
        document.dispatchEvent(new CustomEvent('sing-in-slot',
            { detail: { slot, name: me.name || read(kNameStore) } }));
    });
    view.pause.addEventListener('click', () =>
        say({ type: 'host', action: shown && shown.paused ? 'resume' : 'pause' }));
    view.start.addEventListener('click', () => say({ type: 'host', action: 'start' }));
    view.skip.addEventListener('click', () => say({ type: 'host', action: 'skip' }));
    view.clear.addEventListener('click', () => say({ type: 'host', action: 'clear' }));
    view.tab.addEventListener('click', () => showQueueTab(true));
    for (const tab of view.tabs)
        tab.addEventListener('click', () => showQueueTab(false));
    setInterval(render, kRefreshTimesMs);

    // The song book and the queue share the connection: opened as soon as the page is either.
    if (/^#(book|queue)/.test(location.hash))
        connect();
    if (location.hash === '#queue')
        showQueueTab(true);
})();
