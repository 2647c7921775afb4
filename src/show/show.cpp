#include "show/show.h"

#include <GL/gl.h>

#include <array>
#include <cstdio>
#include <memory>
#include <vector>

#include "media/music_stream.h"
#include "media/raw_texture.h"
#include "media/read_error.h"
#include "painterly/painterly.h"
#include "platform/files/file_path.h"
#include "platform/desktop/key_codes.h"
#include "scene/scene.h"
#include "show/caption_overlay.h"
#include "show/show_tables.h"

namespace show {

namespace {

// Everything the set-up builds, kept until the process ends: nothing the show loaded
// is ever released, neither during the run (its music, above all, plays on) nor at its
// end, when the GL context that owns the textures is already gone. A later set-up (a
// new shell cycle with a new GL context) builds a fresh state and keeps the old one.
struct ShowState {
    std::vector<std::unique_ptr<media::RawTexture>> textures;  // owns every texture
    media::RawTexture* captionTexture = nullptr;
    std::array<media::RawTexture*, sceneRowCount> sceneTextures{};
    std::array<std::unique_ptr<scene::Scene>, sceneRowCount> scenes;
    std::array<CaptionStrip, captionRowCount> captions{};
    std::unique_ptr<media::MusicStream> music;
    ShowState* previous = nullptr;  // the state of an earlier set-up
};

ShowHost host;
void (*frameProbe)(FrameStage) = nullptr;
// Never deleted, and no object with a destructor: nothing runs at exit that could
// reach GL after its context is gone.
ShowState* state = nullptr;

media::RawTexture* loadTexture(ShowState& s, const char* path, int width, int height, media::PixelKind kind) {
    s.textures.push_back(std::make_unique<media::RawTexture>(path, width, height, kind, host.openFile));
    media::RawTexture* texture = s.textures.back().get();
    texture->upload();
    return texture;
}

std::FILE* openDataFile(const char* path) {
    return host.openFile != nullptr ? host.openFile(path) : platform::openFile(path);
}

void requestQuit() {
    if (host.requestQuit != nullptr) host.requestQuit();
}

void mark(FrameStage stage) {
    if (frameProbe != nullptr) frameProbe(stage);
}

}  // namespace

void setShowHost(const ShowHost& h) { host = h; }

const std::array<CaptionStrip, captionRowCount>& captions() {
    static const std::array<CaptionStrip, captionRowCount> none{};
    return state ? state->captions : none;
}


void setFrameProbe(void (*probe)(FrameStage)) { frameProbe = probe; }

void clearFrame() {
    // Only the corner: the backdrop pass clears the whole window after the read-back,
    // so a whole-window clear here would be undone before anything of it shows.
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glScissor(0, 0, painterly::captureWidth, painterly::captureHeight);
    glEnable(GL_SCISSOR_TEST);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
}

void beginScenePass() {
    // Undo the caption pass's texture scaling of the previous frame.
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();

    painterly::beginCapture();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glColor3f(1.0f, 1.0f, 1.0f);
}

void endScenePass() {
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
}

void beginCaptionPass() {
    // Texture rows counted from the top of the band, additive blending over the
    // finished picture, the whole window as the unit square.
    glMatrixMode(GL_TEXTURE);
    glScalef(1.0f, -0.001953125f, 1.0f);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, 1.0, 0.0, 1.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    if (state) state->captionTexture->bind();
}

DueScene dueScene(double elapsed) {
    const float t = static_cast<float>(elapsed - 4.0);
    const int row = sceneRowAt(t);
    if (!state || row < 0) return {};
    return {state->scenes[row].get(), state->sceneTextures[row], sceneFrameAt(row, t)};
}

bool initShow() {
    ShowState* fresh = new ShowState;
    fresh->previous = state;
    state = fresh;
    ShowState& s = *state;

    s.captionTexture = loadTexture(s, "data\\texter4.raw", 256, 512, media::PixelKind::luminance);
    s.captions = buildCaptions();
    glEnable(GL_TEXTURE_2D);

    // Rows that name their texture with the same text share one object, loaded where it
    // is first named; each row's texture is loaded before its scene.
    const std::array<int, sceneRowCount> owners = textureOwners(sceneTable);
    for (int i = 0; i < sceneRowCount; ++i) {
        const ShowEntry& row = sceneTable[i];
        s.sceneTextures[i] = owners[i] == i ? loadTexture(s, row.textureFile, 256, 256, media::PixelKind::rgb)
                                            : s.sceneTextures[owners[i]];

        s.scenes[i] = std::make_unique<scene::Scene>();
        if (std::FILE* file = openDataFile(row.sceneFile)) {
            s.scenes[i]->load(file);
            std::fclose(file);
        } else {
            // The scene stays empty and draws nothing; say why, as a texture would.
            media::reportReadError();
        }
    }

    painterly::initPainterly();

    if (host.isMusicOn != nullptr && host.isMusicOn()) {
        s.music = std::make_unique<media::MusicStream>("data\\sunmarrow.mp3", 44100, 1);
        s.music->play();
    }
    return true;
}

void drawShowFrame(double elapsed, const std::uint8_t* keys) {
    const double d = elapsed - 4.0;
    const float t = static_cast<float>(d);
    if (d > 200.0) requestQuit();
    if (keys != nullptr && (keys[platform::DIK_ESCAPE] & platform::keyDown) != 0) requestQuit();
    if (!state) {  // no set-up yet: nothing to draw but a black window
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        return;
    }
    ShowState& s = *state;

    clearFrame();
    mark(FrameStage::started);

    beginScenePass();
    const int row = sceneRowAt(t);
    if (row >= 0) {
        s.sceneTextures[row]->bind();
        s.scenes[row]->render(sceneFrameAt(row, t));
    }
    endScenePass();
    mark(FrameStage::sceneDrawn);

    painterly::readCapture();
    mark(FrameStage::captureRead);
    const std::int32_t width = host.viewWidth != nullptr ? host.viewWidth() : 640;
    const std::int32_t height = host.viewHeight != nullptr ? host.viewHeight() : 480;
    const std::int32_t strokeMs = host.strokeClockMs != nullptr ? host.strokeClockMs() : 0;
    painterly::paintFrame(width, height, strokeMs);
    mark(FrameStage::painted);

    beginCaptionPass();
    drawCaptions(s.captions, t);
    mark(FrameStage::captionsDrawn);
}

}  // namespace show
