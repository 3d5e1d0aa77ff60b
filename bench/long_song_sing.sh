#!/usr/bin/env bash
# Timed tool runs of two extremes a song collection can hold. First, standard songs of 25,000,
# 50,000 and 100,000 one-beat notes at #BPM:10000 in one line (the largest is a 1.2 MB file and
# 150 s of song), each sung by `cantorix-tool sing` with a 3 s voice: the time should grow with
# the note count, and the largest should take under 2 s. Second, the peak memory of singing with
# a 12 MB voice file of 8-bit samples at 1 kHz (over three hours of sound; converted whole it
# would take a gigabyte), which should stay under 100 MB.
# Usage: bench/long_song_sing.sh [cantorix-tool]
set -euo pipefail
tool="${1:-$(dirname "$0")/../build/cantorix-tool}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# A mono WAV header for the given rate, bits and data bytes.
wav_header() {
    local rate=$1 bits=$2 bytes=$3
    local align=$((bits / 8))
    le32() { printf '%b' "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) \
        $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)))"; }
    le16() { printf '%b' "$(printf '\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)))"; }
    printf 'RIFF'; le32 $((36 + bytes)); printf 'WAVEfmt '; le32 16; le16 1; le16 1
    le32 "$rate"; le32 $((rate * align)); le16 "$align"; le16 "$bits"; printf 'data'; le32 "$bytes"
}

# A voice of the given length: a 220 Hz square wave, loud enough to be heard as sung.
voice() {
    local rate=$1 bits=$2 seconds=$3 file=$4
    local bytes=$((rate * seconds * bits / 8))
    wav_header "$rate" "$bits" "$bytes" >"$file"
    LC_ALL=C awk -v rate="$rate" -v bits="$bits" -v n=$((rate * seconds)) 'BEGIN {
        high = bits == 8 ? sprintf("%c", 200) : sprintf("%c%c", 1, 64)
        low = bits == 8 ? sprintf("%c", 56) : sprintf("%c%c", 1, 192)
        period = rate / 220
        for (i = 0; i < n; i++) printf "%s", (i % period < period / 2) ? high : low
    }' >>"$file"
}

song() {
    local notes=$1 file=$2
    awk -v n="$notes" 'BEGIN {
        print "#VERSION:1.0.0"; print "#TITLE:Long"; print "#ARTIST:Bench"; print "#BPM:10000"
        print "#GAP:0"
        for (i = 0; i < n; i++) printf ": %d 1 %d\n", i, i % 10 - 3
        print "E"
    }' >"$file"
}

voice 44100 16 3 "$work/voice.wav"
echo "notes    song bytes  sing seconds  total"
for notes in 25000 50000 100000; do
    song "$notes" "$work/song$notes.txt"
    start=$(date +%s.%N)
    total=$("$tool" sing "$work/song$notes.txt" "$work/voice.wav" | awk '/^Total:/ { print $2 }')
    end=$(date +%s.%N)
    printf "%6d  %11d  %12.2f  %5s\n" "$notes" "$(stat -c %s "$work/song$notes.txt")" \
        "$(echo "$end - $start" | bc)" "$total"
done

voice 1000 8 12000 "$work/long_voice.wav"
song 2000 "$work/short_song.txt"
peak=$(/usr/bin/time -f %M "$tool" sing "$work/short_song.txt" "$work/long_voice.wav" 2>&1 >/dev/null |
    tail -1)
echo "12 MB 8-bit 1 kHz voice: peak $((peak / 1024)) MB resident"
