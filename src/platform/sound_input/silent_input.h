#pragma once
// The input of a machine without a microphone: silence at the pace of a real one, so the
// pitch analysis and the recorder run as usual and hear nothing.

#include "paced_input.h"

namespace cantorix::platform {

class SilentInput : public PacedInput {
public:
    explicit SilentInput(CaptureHub& hub) : PacedInput(hub, {}, "silence") {}
};

} // namespace cantorix::platform
