#include "capture_service.h"

#include "hub_capture_ring.h"
#include "pcm_converter.h"

namespace cantorix::platform {

CaptureService::CaptureService(const SourceFactory& makeSource) {
    if (makeSource)
        m_source = makeSource(m_hub);
}

CaptureService::~CaptureService() {
    m_source.reset();
}

std::unique_ptr<pitch::CaptureRing> CaptureService::createRing(const base::TWaveFormat& format,
                                                               std::int32_t bufferBytes) {
    if (bufferBytes < 1 || !PcmConverter::supports(format))
        return nullptr;
    return std::make_unique<HubCaptureRing>(m_hub, format, bufferBytes);
}

} // namespace cantorix::platform
