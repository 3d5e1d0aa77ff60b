// The phone's capture on the audio thread: gathers the microphone's samples into frames of
// 20 ms, converts them to 16-bit and posts each with the audio-clock time of its first sample
// and its loudness. The main script numbers the frames and sends them to the game.
'use strict';

const kFrameSeconds = 0.02;

class CaptureProcessor extends AudioWorkletProcessor {
    constructor() {
        super();
        // sampleRate is the context's: a frame is the same 20 ms at 44.1, 48 or 96 kHz.
        this.frameLength = Math.max(1, Math.round(sampleRate * kFrameSeconds));
        this.samples = new Int16Array(this.frameLength);
        this.filled = 0;
        this.firstSampleSeconds = 0;
        this.sumOfSquares = 0;
        this.stopped = false;
        this.port.onmessage = (event) => {
            if (event.data && event.data.type === 'stop')
                this.stopped = true;
        };
    }

    process(inputs, outputs) {
        if (this.stopped)
            return false;
        const input = inputs[0];
        // No channel: the microphone is not connected (yet), so nothing was captured.
        if (!input || input.length === 0)
            return true;
        const channel = input[0];
        for (let i = 0; i < channel.length; ++i) {
            if (this.filled === 0)
                this.firstSampleSeconds = (currentFrame + i) / sampleRate;
            const value = Math.max(-1, Math.min(1, channel[i]));
            this.sumOfSquares += value * value;
            this.samples[this.filled++] = Math.round(value < 0 ? value * 32768 : value * 32767);
            if (this.filled === this.frameLength)
                this.postFrame();
        }
        // The output stays silent: the node is connected only so that the graph pulls it.
        for (const output of outputs)
            for (const out of output)
                out.fill(0);
        return true;
    }

    postFrame() {
        const samples = this.samples;
        this.port.postMessage(
            {
                samples,
                firstSampleSeconds: this.firstSampleSeconds,
                level: Math.sqrt(this.sumOfSquares / this.frameLength),
            },
            [samples.buffer]);
        this.samples = new Int16Array(this.frameLength);
        this.filled = 0;
        this.sumOfSquares = 0;
    }
}

registerProcessor('capture', CaptureProcessor);
