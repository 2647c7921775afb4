#include "support/gl_context.h"

namespace testsupport {

namespace {

const char* stepName(platform::OffscreenGl::Failure failure) {
    switch (failure) {
        case platform::OffscreenGl::Failure::videoDriver: return "video driver: ";
        case platform::OffscreenGl::Failure::window: return "window: ";
        case platform::OffscreenGl::Failure::context: return "context: ";
        case platform::OffscreenGl::Failure::none: break;
    }
    return "";
}

}  // namespace

GlContext::GlContext(int width, int height) : gl_(width, height, "test") {
    if (!gl_.ok()) failure_ = stepName(gl_.failure()) + gl_.reason();
}

}  // namespace testsupport
