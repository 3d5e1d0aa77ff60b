// The phone's page: joins the singer slot the join code named, streams the microphone to the
// game over the page's own secure WebSocket as numbered 16-bit frames stamped with the audio
// clock, answers the game's clock pings with that same clock, and shows what the game sends
// (the singer and their colour, the lyric line, the points, notices). A dropped connection is
// taken up again with the welcome's resume token; a refusal ends the attempt. Text from the game
// is only ever shown through textContent.
'use strict';

(() => {
    const kReconnectDelaysMs = [500, 1000, 2000, 4000, 5000];
    const kAudioFrameHeaderBytes = 12;
    const kLowestSampleRate = 8000;
    const kHighestSampleRate = 96000;
    const kMaxNameCharacters = 32;
    // About 0.7 s of sound at 48 kHz: a network that holds more back delivers frames too late
    // for the game to place, so newer frames are dropped rather than queued behind them.
    const kMaxBufferedBytes = 64 * 1024;
    // How long a context started without a tap may take to run before the page asks for one.
    const kStartWithoutTapMs = 1500;
    const kNameStore = 'cantorix.name';
    const kResumeStore = 'cantorix.resume';
    const kJoinedText = 'You are in. Sing along when the song starts.';
    const kTapToGoOn = 'Tap Sing to go on singing.';
    const kNoFreeSlot = 'Every singer slot is taken at the moment: ask the host to free one.';

    const view = {
        band: document.getElementById('band'),
        slot: document.getElementById('slot'),
        singer: document.getElementById('singer'),
        name: document.getElementById('name'),
        slotField: document.getElementById('slotField'),
        slotChoice: document.getElementById('slotChoice'),
        sing: document.getElementById('sing'),
        level: document.getElementById('level'),
        lyric: document.getElementById('lyric'),
        points: document.getElementById('points'),
        status: document.getElementById('status'),
        singView: document.getElementById('singView'),
    };

    const query = new URLSearchParams(location.search);
    const key = query.get('k') || '';
    // A join code names its slot; the address the game prints for typing does not, and the
    // guest picks one.
    const slotInLink = parseSlot(query.get('slot'));
    let slot = slotInLink;
    // The slot the game called this guest to sing in, from the queue ("You're up").
    let slotCalled = 0;

    // idle: not singing; starting: the sound is being set up; tap: the sound waits for a tap;
    // connecting: the socket opens and joins; joined: welcomed, frames flow; waiting: the
    // connection dropped and a new one follows after the backoff.
    let phase = 'idle';
    let context = null;
    let capture = null; // the worklet node the microphone feeds
    let microphone = null; // { stream, source }
    let inputLatency = 0; // seconds, as the microphone's track reports it
    let openingMicrophone = false;
    let socket = null;
    let sequence = 0;
    let refusal = null;
    let reconnectAttempt = 0;
    let reconnectTimer = 0;
    let welcomedSinceStart = false;

    function parseSlot(text) {
        const number = Number(text);
        return Number.isInteger(number) && number >= 1 && number <= 8 ? number : 0;
    }

    function cleanName(typed) {
        // Control and format characters are removed as the game removes them; it cleans again.
        const kept = String(typed).replace(/[\p{Cc}\p{Cf}]/gu, '').trim();
        return Array.from(kept).slice(0, kMaxNameCharacters).join('');
    }

    function showStatus(text, problem = false) {
        view.status.textContent = text;
        view.status.classList.toggle('problem', problem);
    }

    function showSinger(name, colour) {
        if (typeof name === 'string')
            view.singer.textContent = name;
        if (typeof colour === 'string' && /^#[0-9a-fA-F]{6}$/.test(colour))
            document.documentElement.style.setProperty('--accent', colour);
    }

    function showLevel(level) {
        // Loudness in decibels over the meter's 60 dB: speech fills about half of it.
        const decibels = level > 0 ? 20 * Math.log10(level) : -Infinity;
        const fraction = Math.max(0, Math.min(1, (decibels + 60) / 60));
        view.level.style.transform = `scaleX(${fraction.toFixed(3)})`;
    }

    // Suspended, or interrupted as Safari says during a call: only a tap resumes it.
    function soundHeld() {
        return context !== null && context.state !== 'running' && context.state !== 'closed';
    }

    function setPhase(next) {
        phase = next;
        const singing = phase !== 'idle' && phase !== 'tap';
        view.sing.textContent = singing && !soundHeld() ? 'Leave' : 'Sing';
        view.sing.disabled = phase === 'starting';
        view.name.disabled = singing;
        view.slotChoice.disabled = singing;
    }

    // Storage may be refused (private browsing, settings): the page works without it.
    function readStored(storage, name) {
        try {
            return storage.getItem(name);
        } catch {
            return null;
        }
    }
    function writeStored(storage, name, value) {
        try {
            if (value === null)
                storage.removeItem(name);
            else
                storage.setItem(name, value);
        } catch {
            // Nothing kept: the guest types the name again, a dropout joins afresh.
        }
    }

    // The resume token belongs to this slot and key: a link of another game run never uses it.
    // It is kept in the browser's lasting storage, a slot's own, so a tab closed mid-song and
    // opened again takes its slot back; the game stops honouring it when the session ends.
    function resumeStore() {
        return kResumeStore + '.' + slot;
    }
    function resumeToken() {
        try {
            const kept = JSON.parse(readStored(localStorage, resumeStore()) || 'null');
            if (kept && kept.slot === slot && kept.key === key && typeof kept.token === 'string')
                return kept.token;
        } catch {
            // A damaged entry is no token.
        }
        return '';
    }
    function keepResumeToken(token) {
        writeStored(localStorage, resumeStore(),
                    token ? JSON.stringify({ slot, key, token }) : null);
    }

    // Frames and clock answers name instants on one clock: the context's processing clock (the
    // worklet's frame count), read at the instant a sound entered the microphone. A sample
    // captured at instant P reaches the worklet the input latency later, so a frame's stamp is
    // its processing time less that latency. What is heard at P was processed the base and
    // output latencies before P, so the processing clock at P is the output timestamp's context
    // time, carried on to P, plus those latencies: that is the answer to a ping at P. Without
    // both corrections a singer is placed late by all three latencies.
    function latencySeconds(value) {
        return Number.isFinite(value) && value > 0 && value < 1 ? value : 0;
    }

    function captureClockNow(nowMs = performance.now()) {
        if (!context)
            return 0;
        if (typeof context.getOutputTimestamp === 'function') {
            const stamp = context.getOutputTimestamp();
            if (stamp && stamp.contextTime > 0 && stamp.performanceTime > 0)
                return stamp.contextTime + (nowMs - stamp.performanceTime) / 1000 +
                       latencySeconds(context.baseLatency) + latencySeconds(context.outputLatency);
        }
        // The processing clock itself, a render quantum coarse.
        return context.currentTime;
    }

    function captureStamp(processedSeconds) {
        return processedSeconds - inputLatency;
    }

    // The page's tests set window.cantorixPhoneTest before this script runs, to reach the clock
    // with a context and a microphone of their own making.
    if (window.cantorixPhoneTest && typeof window.cantorixPhoneTest === 'object') {
        window.cantorixPhoneTest.clock = {
            use(testContext, microphoneLatency) {
                context = testContext;
                inputLatency = latencySeconds(microphoneLatency);
            },
            answer: captureClockNow,
            stamp: captureStamp,
        };
    }

    function encodeFrame(number, firstSampleSeconds, samples) {
        const bytes = new ArrayBuffer(kAudioFrameHeaderBytes + 2 * samples.length);
        const data = new DataView(bytes);
        data.setUint32(0, number, true);
        data.setFloat64(4, firstSampleSeconds, true);
        for (let i = 0; i < samples.length; ++i)
            data.setInt16(kAudioFrameHeaderBytes + 2 * i, samples[i], true);
        return bytes;
    }

    function onFrame(frame) {
        showLevel(frame.level);
        if (phase !== 'joined' || !socket || socket.readyState !== WebSocket.OPEN)
            return;
        const number = sequence;
        sequence = (sequence + 1) >>> 0;
        // The frame is lost, and the gap in the numbers says so.
        if (socket.bufferedAmount > kMaxBufferedBytes)
            return;
        socket.send(encodeFrame(number, captureStamp(frame.firstSampleSeconds), frame.samples));
    }

    function createContext() {
        const AudioContextType = window.AudioContext || window.webkitAudioContext;
        if (!AudioContextType)
            throw new Error('this browser has no Web Audio');
        return new AudioContextType({ latencyHint: 'interactive' });
    }

    async function loadCapture() {
        if (!context.audioWorklet)
            throw new Error('this browser has no audio worklets');
        await context.audioWorklet.addModule('/capture-worklet.js');
        const node = new AudioWorkletNode(context, 'capture', {
            numberOfInputs: 1,
            numberOfOutputs: 1,
            outputChannelCount: [1],
            channelCount: 1,
            channelCountMode: 'explicit',
            channelInterpretation: 'speakers',
        });
        node.port.onmessage = (event) => onFrame(event.data);
        // Pulled through a muted gain so it runs without the guest hearing themselves.
        const mute = context.createGain();
        mute.gain.value = 0;
        node.connect(mute).connect(context.destination);
        return node;
    }

    async function whenRunning(within) {
        if (context.state === 'running')
            return true;
        const resumed = context.resume().catch(() => {});
        await Promise.race([resumed, new Promise((done) => setTimeout(done, within))]);
        return context.state === 'running';
    }

    function onSoundStateChange() {
        setPhase(phase);
        if (phase === 'joined' && view.status.textContent === kTapToGoOn && !soundHeld())
            showStatus(kJoinedText);
    }

    // The picker offers only the slots a phone may take now, as the game answers: none the host
    // keeps for a microphone or a player, none another phone holds.
    async function offerFreeSlots() {
        if (slotInLink || !key)
            return;
        let free = null;
        try {
            const answer = await fetch(`/slots?k=${encodeURIComponent(key)}`, { cache: 'no-store' });
            const body = answer.ok ? await answer.json() : null;
            if (body && Array.isArray(body.free))
                free = body.free.map(parseSlot).filter((number) => number > 0);
        } catch {
            // No answer: every slot stays offered, and a join for a taken one says so.
        }
        if (!free)
            return;
        const chosen = parseSlot(view.slotChoice.value);
        view.slotChoice.replaceChildren(...free.map((number) => {
            const option = document.createElement('option');
            option.value = String(number);
            option.textContent = String(number);
            return option;
        }));
        if (free.includes(chosen))
            view.slotChoice.value = String(chosen);
        if (free.length === 0 && (phase === 'idle' || phase === 'tap'))
            showStatus(kNoFreeSlot, true);
    }

    async function begin() {
        if (!slotInLink && !slotCalled)
            slot = parseSlot(view.slotChoice.value);
        if (!slotInLink && !slot && key) {
            showStatus(kNoFreeSlot, true);
            offerFreeSlots();
            return;
        }
        if (!slot || !key) {
            showStatus('This link is not complete: scan the code on the game\'s screen again.',
                       true);
            return;
        }
        const name = cleanName(view.name.value);
        view.name.value = name;
        if (!name) {
            showStatus('Type your name, then tap Sing.', true);
            view.name.focus();
            return;
        }
        writeStored(localStorage, kNameStore, name);
        try {
            // Made or resumed before any wait, while the tap still counts as a gesture.
            if (!context) {
                context = createContext();
                context.onstatechange = onSoundStateChange;
            }
            context.resume().catch(() => {});
        } catch (error) {
            showStatus(`Sound cannot start here: ${error.message}.`, true);
            return;
        }
        setPhase('starting');
        showStatus('Starting the sound…');
        try {
            if (!capture)
                capture = await loadCapture();
        } catch (error) {
            setPhase('idle');
            showStatus(`This browser cannot capture sound here: ${error.message}.`, true);
            return;
        }
        if (phase !== 'starting')
            return;
        // Joined only once the context runs, so the clock answers mean something.
        if (!(await whenRunning(kStartWithoutTapMs))) {
            setPhase('tap');
            showStatus('Tap Sing to start the sound.');
            return;
        }
        if (phase !== 'starting')
            return;
        if (context.sampleRate < kLowestSampleRate || context.sampleRate > kHighestSampleRate) {
            setPhase('idle');
            showStatus(`This phone's sound runs at ${context.sampleRate} Hz, which the game ` +
                           'cannot take.', true);
            return;
        }
        refusal = null;
        reconnectAttempt = 0;
        welcomedSinceStart = false;
        connect();
    }

    function connect() {
        reconnectTimer = 0;
        setPhase('connecting');
        showStatus(welcomedSinceStart ? 'Coming back…' : 'Joining…');
        let opened;
        try {
            opened = new WebSocket(`wss://${location.host}/socket?k=${encodeURIComponent(key)}`);
        } catch (error) {
            socket = null;
            retryLater();
            return;
        }
        opened.binaryType = 'arraybuffer';
        socket = opened;
        opened.onopen = () => {
            if (socket !== opened)
                return;
            const join = {
                type: 'join',
                name: view.name.value,
                slot,
                rate: context.sampleRate,
            };
            const token = resumeToken();
            if (token)
                join.resume = token;
            opened.send(JSON.stringify(join));
        };
        opened.onmessage = (event) => {
            if (socket === opened)
                onMessage(opened, event.data);
        };
        opened.onclose = () => {
            if (socket === opened)
                onClosed();
        };
    }

    function onMessage(from, data) {
        if (typeof data !== 'string')
            return;
        let message;
        try {
            message = JSON.parse(data);
        } catch {
            return;
        }
        if (!message || typeof message !== 'object')
            return;
        switch (message.type) {
        case 'clock':
            // Answered at once: the game measures the round trip around this answer.
            if (Number.isInteger(message.id))
                from.send(JSON.stringify({ type: 'clock', id: message.id, phone: captureClockNow() }));
            break;
        case 'welcome':
            onWelcome(message);
            break;
        case 'refused':
            refusal = typeof message.reason === 'string' && message.reason
                          ? message.reason
                          : 'The game did not let this phone join.';
            break;
        case 'notice':
            if (typeof message.text === 'string')
                showStatus(message.text, true);
            break;
        case 'singer':
            showSinger(message.name, message.colour);
            break;
        case 'lyric':
            view.lyric.textContent = typeof message.text === 'string' ? message.text : '';
            break;
        case 'points':
            if (Number.isFinite(message.points)) {
                const points = Math.round(message.points);
                view.points.textContent = `${points} ${points === 1 ? 'point' : 'points'}`;
            }
            break;
        default:
            break;
        }
    }

    function onWelcome(message) {
        sequence = 0;
        reconnectAttempt = 0;
        welcomedSinceStart = true;
        if (typeof message.resume === 'string')
            keepResumeToken(message.resume);
        const welcomedSlot = parseSlot(message.slot) || slot;
        view.slot.textContent = `Singer ${welcomedSlot}`;
        showSinger(message.name, message.colour);
        setPhase('joined');
        showStatus(kJoinedText);
        openMicrophone();
    }

    async function openMicrophone() {
        if (microphone || openingMicrophone)
            return;
        if (!navigator.mediaDevices || !navigator.mediaDevices.getUserMedia) {
            leave('This browser gives no microphone to this page.', true);
            return;
        }
        openingMicrophone = true;
        try {
            const stream = await navigator.mediaDevices.getUserMedia({
                audio: {
                    echoCancellation: false,
                    noiseSuppression: false,
                    autoGainControl: false,
                    channelCount: 1,
                },
                video: false,
            });
            if (phase === 'idle' || phase === 'tap' || !context) {
                // Left while the browser asked for the microphone.
                stream.getTracks().forEach((track) => track.stop());
                return;
            }
            const source = context.createMediaStreamSource(stream);
            source.connect(capture);
            microphone = { stream, source };
            const [track] = stream.getAudioTracks();
            const settings = track && typeof track.getSettings === 'function'
                                 ? track.getSettings() : {};
            inputLatency = latencySeconds(settings.latency);
            for (const track of stream.getAudioTracks())
                track.onended = () => leave('The microphone was taken away (a call?). Tap Sing ' +
                                                'to join again.', true);
        } catch (error) {
            leave(`The microphone could not be opened: ${error.message || error.name}.`, true);
        } finally {
            openingMicrophone = false;
        }
    }

    function closeMicrophone() {
        if (!microphone)
            return;
        microphone.source.disconnect();
        for (const track of microphone.stream.getTracks()) {
            track.onended = null;
            track.stop();
        }
        microphone = null;
        showLevel(0);
    }

    function onClosed() {
        socket = null;
        if (refusal !== null) {
            const reason = refusal;
            refusal = null;
            leave(reason, true);
            return;
        }
        if (phase === 'idle' || phase === 'tap')
            return;
        retryLater();
    }

    function retryLater() {
        const delay = kReconnectDelaysMs[Math.min(reconnectAttempt, kReconnectDelaysMs.length - 1)];
        ++reconnectAttempt;
        setPhase('waiting');
        const seconds = (delay / 1000).toLocaleString(undefined, { maximumFractionDigits: 1 });
        showStatus(welcomedSinceStart
                       ? `The connection dropped. Trying again in ${seconds} s…`
                       : `The game does not answer. Trying again in ${seconds} s…`,
                   !welcomedSinceStart);
        reconnectTimer = setTimeout(connect, delay);
    }

    // Gives the seat up: the game hears it at once rather than after a silent timeout.
    function leave(message, problem = false) {
        const closing = socket;
        socket = null;
        if (reconnectTimer) {
            clearTimeout(reconnectTimer);
            reconnectTimer = 0;
        }
        if (closing) {
            if (closing.readyState === WebSocket.OPEN) {
                try {
                    closing.send(JSON.stringify({ type: 'leave' }));
                } catch {
                    // Closing anyway.
                }
            }
            closing.close(1000);
        }
        keepResumeToken('');
        closeMicrophone();
        setPhase('idle');
        showStatus(message, problem);
        // Refused or freed: what is free may have changed since the picker was filled.
        offerFreeSlots();
    }

    view.sing.addEventListener('click', () => {
        // A context the browser holds back resumes only within a tap like this one.
        const held = soundHeld();
        if (held)
            context.resume().catch(() => {});
        if (phase === 'idle' || phase === 'tap')
            begin();
        else if (held)
            setPhase(phase);
        else
            leave('You left. Tap Sing to join again.');
    });

    view.slotChoice.addEventListener('focus', () => offerFreeSlots());

    view.name.addEventListener('keydown', (event) => {
        if (event.key === 'Enter' && (phase === 'idle' || phase === 'tap'))
            begin();
    });

    document.addEventListener('visibilitychange', () => {
        if (document.visibilityState !== 'visible')
            return;
        if (phase === 'waiting' && reconnectTimer) {
            clearTimeout(reconnectTimer);
            connect();
        }
        if (soundHeld() && phase !== 'idle') {
            context.resume().catch(() => {});
            showStatus(kTapToGoOn);
        }
    });

    // A page that goes away (the tab closed, the browser quit, another page opened) keeps its
    // seat: more often than not it went by mistake mid-song. The socket closes without "leave",
    // the game holds the seat until the session ends, and the page opened again takes it back
    // with the token it keeps. A guest who means to go taps Leave.
    window.addEventListener('pagehide', () => {
        const closing = socket;
        socket = null;
        if (reconnectTimer) {
            clearTimeout(reconnectTimer);
            reconnectTimer = 0;
        }
        if (closing) {
            closing.onclose = null;
            // No code: a page may send only 1000 or 3000-4999, and a throw here would leave the
            // microphone and the sound open while the tab goes.
            closing.close();
        }
        closeMicrophone();
        if (phase !== 'idle')
            setPhase('idle');
        if (context) {
            context.close().catch(() => {});
            context = null;
            capture = null;
        }
    });

    window.addEventListener('pageshow', (event) => {
        // Back from the browser's page cache: Sing takes the seat back while the game keeps it.
        if (event.persisted) {
            setPhase('idle');
            showStatus('Tap Sing to join again.');
        }
    });

    // The queue's "You're up: tap to sing": the tap is the one the browser needs for the sound.
    document.addEventListener('sing-in-slot', (event) => {
        const called = parseSlot(event.detail && event.detail.slot);
        if (!called)
            return;
        slotCalled = called;
        slot = called;
        view.slot.textContent = `Singer ${slot}`;
        view.slotField.hidden = true;
        view.singView.hidden = false;
        if (event.detail.name)
            view.name.value = cleanName(event.detail.name);
        begin();
    });

    view.name.value = readStored(localStorage, kNameStore) || '';
    view.slot.textContent = slot ? `Singer ${slot}` : 'Cantorix';
    view.slotField.hidden = slotInLink !== 0 || !key;
    setPhase('idle');
    const joinAtOnce = /^#join=(.*)$/.exec(location.hash);
    const offered = offerFreeSlots();
    if (joinAtOnce) {
        try {
            view.name.value = cleanName(decodeURIComponent(joinAtOnce[1]));
        } catch {
            // A broken name in the link: the remembered one stands.
        }
        // Joined once the picker holds the free slots, so the first of them is taken.
        offered.finally(begin);
    } else if (!key) {
        showStatus('This link is not complete: scan the code on the game\'s screen again.', true);
    } else {
        showStatus('Type your name and tap Sing.');
    }
})();
