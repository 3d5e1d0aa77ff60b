// The phone's song book: the game's songs a guest can search while they wait, fifty at a time,
// each with its cover's thumbnail, its artist, its title, whether it is a duet, its length and a
// "Sing this" button (an event the queue's page takes up). The page opened with "#book" (the
// selection screen's code) shows it first, "#book=words" with those words searched. Text from
// the game is only ever shown through textContent.
'use strict';

(() => {
    const kTypingPauseMs = 150;
    // The page's own key: each cover's address carries it, as every request to the game does.
    const key = new URLSearchParams(location.search).get('k') || '';

    const view = {
        singTab: document.getElementById('singTab'),
        bookTab: document.getElementById('bookTab'),
        singView: document.getElementById('singView'),
        book: document.getElementById('book'),
        search: document.getElementById('bookSearch'),
        count: document.getElementById('bookCount'),
        list: document.getElementById('bookList'),
        more: document.getElementById('bookMore'),
    };

    let asked = 0; // the number of the latest request: older answers are dropped
    let shownQuery = null;
    let nextPage = 0;
    let typingTimer = 0;

    function showTab(book) {
        view.book.hidden = !book;
        view.singView.hidden = book;
        view.bookTab.setAttribute('aria-pressed', String(book));
        view.singTab.setAttribute('aria-pressed', String(!book));
        if (book && shownQuery === null)
            search(view.search.value);
    }

    // 221000 ms: "3:41"; an hour or more: "1:02:03"; nothing when the game does not know.
    function lengthText(ms) {
        const seconds = Math.round(Number(ms) / 1000);
        if (!Number.isFinite(seconds) || seconds <= 0)
            return '';
        const two = (n) => String(n).padStart(2, '0');
        const hours = Math.floor(seconds / 3600);
        const minutes = Math.floor(seconds / 60) % 60;
        return hours > 0 ? `${hours}:${two(minutes)}:${two(seconds % 60)}`
                         : `${minutes}:${two(seconds % 60)}`;
    }

    function coverBox() {
        const box = document.createElement('span');
        box.className = 'cover';
        box.setAttribute('aria-hidden', 'true');
        return box;
    }

    // The thumbnail only for a song that has a cover, fetched as the row scrolls near; a cover
    // the game cannot show leaves the plain box.
    function coverOf(song) {
        if (!song.cover)
            return coverBox();
        const image = document.createElement('img');
        image.className = 'cover';
        image.alt = '';
        image.loading = 'lazy';
        image.decoding = 'async';
        image.width = 48;
        image.height = 48;
        image.addEventListener('error', () => image.replaceWith(coverBox()), { once: true });
        // Without a key in the page's address, the key's cookie lets the picture in.
        const asked = new URLSearchParams({ song: String(song.id) });
        if (key)
            asked.set('k', key);
        image.src = `/cover?${asked}`;
        return image;
    }

    function songRow(song) {
        const row = document.createElement('li');
        row.className = 'song';
        const words = document.createElement('span');
        words.className = 'words';
        const title = document.createElement('span');
        title.className = 'title';
        title.textContent = song.title;
        if (song.duet) {
            const duet = document.createElement('span');
            duet.className = 'duet';
            duet.textContent = 'duet';
            title.append(duet);
        }
        const artist = document.createElement('span');
        artist.className = 'artist';
        artist.textContent = song.artist;
        words.append(title, artist);
        const length = document.createElement('span');
        length.className = 'length';
        length.textContent = lengthText(song.ms);
        const sing = document.createElement('button');
        sing.className = 'sing-this';
        sing.type = 'button';
        sing.textContent = 'Sing this';
        sing.addEventListener('click', () => {
            document.dispatchEvent(new CustomEvent('sing-this', {
                detail: {
                    id: String(song.id),
                    artist: String(song.artist),
                    title: String(song.title),
                    duet: Boolean(song.duet),
                },
            }));
        });
        row.append(coverOf(song), words, length, sing);
        return row;
    }

    function countText(total) {
        if (total === 0)
            return 'No song holds those words.';
        return total === 1 ? '1 song' : `${total} songs`;
    }

    async function search(query, page = 0) {
        const number = ++asked;
        let answer;
        try {
            const response = await fetch(`/book?q=${encodeURIComponent(query)}&page=${page}`,
                                         { cache: 'no-store', credentials: 'same-origin' });
            if (!response.ok)
                throw new Error(response.status === 404 ? 'The song book is not open yet.'
                                                        : 'The game did not answer.');
            answer = await response.json();
        } catch (error) {
            if (number === asked)
                view.count.textContent = error.message || 'The game did not answer.';
            return;
        }
        if (number !== asked)
            return;
        if (page === 0)
            view.list.replaceChildren();
        for (const song of Array.isArray(answer.songs) ? answer.songs : [])
            view.list.append(songRow(song));
        shownQuery = query;
        nextPage = page + 1;
        view.count.textContent = countText(Number(answer.total) || 0);
        view.more.hidden = view.list.children.length >= (Number(answer.total) || 0);
    }

    view.singTab.addEventListener('click', () => showTab(false));
    view.bookTab.addEventListener('click', () => showTab(true));
    view.search.addEventListener('input', () => {
        clearTimeout(typingTimer);
        typingTimer = setTimeout(() => search(view.search.value), kTypingPauseMs);
    });
    view.more.addEventListener('click', () => search(shownQuery ?? '', nextPage));

    const opened = /^#book(?:=(.*))?$/.exec(location.hash);
    if (opened) {
        try {
            view.search.value = decodeURIComponent(opened[1] || '');
        } catch {
            // A broken query in the link: the book opens on every song.
        }
        showTab(true);
    }
})();
