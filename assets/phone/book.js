// The phone's song book: the game's songs a guest can search while they wait, fifty at a time,
// each with its artist, its title and whether it is a duet. The page opened with "#book" (the
// selection screen's code) shows it first, "#book=words" with those words searched. Text from
// the game is only ever shown through textContent.
'use strict';

(() => {
    const kTypingPauseMs = 150;

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

    function songRow(song) {
        const row = document.createElement('li');
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
        row.append(title, artist);
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
