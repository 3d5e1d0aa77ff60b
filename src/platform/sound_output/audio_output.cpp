#include "audio_output.h"

#include "null_audio_output.h"
#include "portaudio_output.h"

#include <ostream>

namespace cantorix::platform {

std::unique_ptr<AudioOutput> chooseAudioOutput(bool silent, std::ostream& log) {
    std::unique_ptr<AudioOutput> output;
    std::string reason;
    if (!silent) {
        try {
            output = std::make_unique<PortAudioOutput>();
        } catch (const EAudioOutputError& error) {
            reason = error.what();
        }
    }
    if (!output)
        output = std::make_unique<NullAudioOutput>();
    log << "cantorix: sound output: " << output->name();
    if (!reason.empty())
        log << ": " << reason;
    log << std::endl;
    return output;
}

} // namespace cantorix::platform
