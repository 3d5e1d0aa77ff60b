#pragma once
// The export's decoder of songs whose audio is not MPEG: the FFmpeg audio decoder of the media
// player, its stereo float converted to the mix's PCM rate and channels by libswresample.
// Stateless between songs; one thread at a time.

#include "audio/song_audio_decoder_port.h"

namespace cantorix::platform {

class FfmpegSongDecoder : public audio::SongAudioDecoder {
public:
    bool takes(const std::filesystem::path& song) override;
    std::unique_ptr<audio::PcmSource> open(const std::filesystem::path& song, int rate,
                                           int channels) override;
};

} // namespace cantorix::platform
