#include "painterly/painter_choice.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace painterly {

namespace {

std::optional<PainterRequest> given;
PainterPath chosen = PainterPath::gl;

}  // namespace

std::optional<PainterRequest> parsePainterRequest(const char* text) {
    if (text == nullptr) return std::nullopt;
    if (std::strcmp(text, "auto") == 0) return PainterRequest::automatic;
    if (std::strcmp(text, "gl") == 0) return PainterRequest::gl;
    if (std::strcmp(text, "cpu") == 0) return PainterRequest::cpu;
    return std::nullopt;
}

bool isSoftwareRenderer(const char* glRenderer) {
    if (glRenderer == nullptr) return false;
    std::string name(glRenderer);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* software : {"llvmpipe", "softpipe", "swrast", "software rasterizer", "swiftshader"}) {
        if (name.find(software) != std::string::npos) return true;
    }
    return false;
}

PainterPath choosePainter(PainterRequest request, const char* glRenderer) {
    switch (request) {
        case PainterRequest::gl:
            return PainterPath::gl;
        case PainterRequest::cpu:
            return PainterPath::cpu;
        case PainterRequest::automatic:
            break;
    }
    return isSoftwareRenderer(glRenderer) ? PainterPath::cpu : PainterPath::gl;
}

const char* painterName(PainterPath path) { return path == PainterPath::cpu ? "cpu" : "gl"; }

void requestPainter(PainterRequest request) { given = request; }

PainterRequest requestedPainter() {
    if (given) return *given;
    static const PainterRequest fromEnvironment = [] {
        const char* value = std::getenv("SUNMARROW_PAINTER");
        if (value == nullptr || *value == '\0') return PainterRequest::automatic;
        if (const auto parsed = parsePainterRequest(value)) return *parsed;
        std::fprintf(stderr, "SUNMARROW_PAINTER=%s: expected gl, cpu or auto; choosing by the renderer\n", value);
        return PainterRequest::automatic;
    }();
    return fromEnvironment;
}

PainterPath painterPath() { return chosen; }
void setPainterPath(PainterPath path) { chosen = path; }

}  // namespace painterly
