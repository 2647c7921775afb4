// links: painterly
// Which painterly path a renderer and a request give, and the request's spellings.
#include <gtest/gtest.h>

#include "painterly/painter_choice.h"

namespace {

using painterly::choosePainter;
using painterly::PainterPath;
using painterly::PainterRequest;

TEST(PainterChoice, SoftwareRasterizersGetTheProcessorPathUnlessAPathIsAskedFor) {
    struct Case {
        const char* renderer;
        PainterPath automatic;
    };
    const Case cases[] = {
        {"llvmpipe (LLVM 15.0.6, 256 bits)", PainterPath::cpu},
        {"Gallium 0.4 on llvmpipe (LLVM 3.4, 128 bits)", PainterPath::cpu},
        {"softpipe", PainterPath::cpu},
        {"Software Rasterizer", PainterPath::cpu},
        {"Mesa DRI swrast", PainterPath::cpu},
        {"zink Vulkan 1.3(llvmpipe (LLVM 15.0.6, 256 bits) (MESA_LLVMPIPE))", PainterPath::cpu},
        {"Google SwiftShader", PainterPath::cpu},
        {"ANGLE (Google, Vulkan 1.3.0 (SwiftShader Device (Subzero) (0x0000C0DE)), SwiftShader driver-5.0.0)",
         PainterPath::cpu},
        {"NVIDIA GeForce RTX 3060/PCIe/SSE2", PainterPath::gl},
        {"AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49, 6.1.0-18-amd64)", PainterPath::gl},
        {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", PainterPath::gl},
        {"virgl (NVIDIA GeForce GTX 1080)", PainterPath::gl},
        {"", PainterPath::gl},
        {nullptr, PainterPath::gl},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.renderer ? c.renderer : "(null)");
        EXPECT_EQ(choosePainter(PainterRequest::automatic, c.renderer), c.automatic);
        EXPECT_EQ(choosePainter(PainterRequest::gl, c.renderer), PainterPath::gl);
        EXPECT_EQ(choosePainter(PainterRequest::cpu, c.renderer), PainterPath::cpu);
    }
}

TEST(PainterChoice, RequestsAreSpelledGlCpuOrAuto) {
    EXPECT_EQ(painterly::parsePainterRequest("gl"), PainterRequest::gl);
    EXPECT_EQ(painterly::parsePainterRequest("cpu"), PainterRequest::cpu);
    EXPECT_EQ(painterly::parsePainterRequest("auto"), PainterRequest::automatic);
    for (const char* wrong : {"", "GL", "gpu", "cpu ", static_cast<const char*>(nullptr)}) EXPECT_FALSE(painterly::parsePainterRequest(wrong));
}

}  // namespace
