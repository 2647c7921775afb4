#include "captions.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <list>

#include "platform/files/file_path.h"

namespace datagen {

namespace {

enum class Align { Left, Centre };

struct CaptionLine {
    const char* text;
    const char* font;
    Align align;
    int group;  // lines of one group share one font size
};

// The show's words, one per caption band, in table order.
const CaptionLine kLines[] = {
    {"Tessaly", "DejaVuSans-Bold.ttf", Align::Centre, 0},
    {"before the light", "DejaVuSerif-Italic.ttf", Align::Left, 1},
    {"the hills lie still,", "DejaVuSerif-Italic.ttf", Align::Left, 1},
    {"a breath of gold", "DejaVuSerif-Italic.ttf", Align::Left, 1},
    {"along the far rim,", "DejaVuSerif-Italic.ttf", Align::Left, 1},
    {"and morning comes.", "DejaVuSerif-Italic.ttf", Align::Left, 1},
    {"grass holds the dew,", "DejaVuSerif-Italic.ttf", Align::Left, 2},
    {"water keeps the sky,", "DejaVuSerif-Italic.ttf", Align::Left, 2},
    {"the wind says go.", "DejaVuSerif-Italic.ttf", Align::Left, 2},
    {"a path leads in", "DejaVuSerif-Italic.ttf", Align::Left, 3},
    {"between the trunks,", "DejaVuSerif-Italic.ttf", Align::Left, 3},
    {"where every colour", "DejaVuSerif-Italic.ttf", Align::Left, 3},
    {"turns to a stroke.", "DejaVuSerif-Italic.ttf", Align::Left, 3},
    {"Sunmarrow", "DejaVuSerif.ttf", Align::Centre, 4},
    {"until next dawn", "DejaVuSerif-Italic.ttf", Align::Left, 5},
};

constexpr int kSideMargin = 6;  // texels kept free at the left and right of a band

// A rendered line: coverage in [0, 1], with the ink's box relative to the pen origin
// (x right, y down from the baseline).
struct Rendered {
    int width = 0, height = 0;
    int originX = 0, baseline = 0;  // pen start and baseline inside the canvas
    std::vector<float> coverage;
    int inkLeft = 0, inkRight = -1, inkTop = 0, inkBottom = -1;  // canvas coordinates, inclusive
};

class Fonts {
public:
    explicit Fonts(std::string dir) : dir_(std::move(dir)) { ok_ = FT_Init_FreeType(&library_) == 0; }
    ~Fonts() {
        for (auto& f : faces_) FT_Done_Face(f.second);
        if (ok_) FT_Done_FreeType(library_);
    }
    Fonts(const Fonts&) = delete;
    Fonts& operator=(const Fonts&) = delete;

    FT_Face face(const char* file, std::string& error) {
        for (auto& f : faces_) {
            if (f.first == file) return f.second;
        }
        if (!ok_) {
            error = "FreeType could not be initialised";
            return nullptr;
        }
        FT_Face face = nullptr;
        const std::string path = dir_.empty() ? installedFont(file) : dir_ + "/" + file;
        if (path.empty()) {
            error = std::string("no font file ") + file +
                    " among the fonts fontconfig knows (Debian: fonts-dejavu-core and fonts-dejavu-extra)";
            return nullptr;
        }
        std::vector<FT_Byte>& bytes = files_.emplace_back();
        const std::string why = readFont(path, bytes);
        if (!why.empty()) {
            error = "cannot open font " + path + ": " + why;
            return nullptr;
        }
        if (FT_New_Memory_Face(library_, bytes.data(), static_cast<FT_Long>(bytes.size()), 0, &face) != 0) {
            error = "cannot open font " + path + ": not a font FreeType reads";
            return nullptr;
        }
        faces_.emplace_back(file, face);
        return face;
    }

private:
    // Where fontconfig knows a font file of this name: the first such path in byte order,
    // so that the same files give the same captions whatever order fontconfig lists them
    // in; empty when it knows none.
    static std::string installedFont(const char* file) {
        FcConfig* config = FcInitLoadConfigAndFonts();
        if (config == nullptr) return {};
        FcPattern* any = FcPatternCreate();
        FcObjectSet* fields = FcObjectSetBuild(FC_FILE, nullptr);
        FcFontSet* fonts = FcFontList(config, any, fields);
        std::string found;
        for (int i = 0; fonts != nullptr && i < fonts->nfont; ++i) {
            FcChar8* path = nullptr;
            if (FcPatternGetString(fonts->fonts[i], FC_FILE, 0, &path) != FcResultMatch) continue;
            const std::string candidate(reinterpret_cast<const char*>(path));
            const std::size_t slash = candidate.rfind('/');
            if (candidate.compare(slash == std::string::npos ? 0 : slash + 1, std::string::npos, file) != 0) continue;
            if (found.empty() || candidate < found) found = candidate;
        }
        if (fonts != nullptr) FcFontSetDestroy(fonts);
        FcObjectSetDestroy(fields);
        FcPatternDestroy(any);
        FcConfigDestroy(config);
        return found;
    }

    // The font file's bytes, opened by the one rule of the show's files (a FIFO or a
    // device in a font's place is refused, never waited on) and read whole; empty on
    // success, else why not.
    static std::string readFont(const std::string& path, std::vector<FT_Byte>& bytes) {
        constexpr long maxFontBytes = 64L << 20;  // the fonts used are under 1 MiB
        int failure = 0;
        std::FILE* file = platform::openRegularFile(path.c_str(), &failure);
        if (file == nullptr) return platform::openFailureText(failure);
        std::string why;
        long size = -1;
        if (std::fseek(file, 0, SEEK_END) != 0 || (size = std::ftell(file)) < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
            why = "cannot be read";
        } else if (size > maxFontBytes) {
            why = "larger than any font (" + std::to_string(size) + " bytes)";
        } else {
            bytes.resize(static_cast<std::size_t>(size));
            if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) why = "cannot be read";
        }
        std::fclose(file);
        return why;
    }

    std::string dir_;
    bool ok_ = false;
    FT_Library library_ = nullptr;
    std::list<std::vector<FT_Byte>> files_;  // each face's bytes, which it reads until it is done
    std::vector<std::pair<std::string, FT_Face>> faces_;
};

Rendered renderLine(FT_Face face, const char* text, int pixelSize, float squeeze) {
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize));
    FT_Matrix matrix{static_cast<FT_Fixed>(std::lround(squeeze * 65536.0f)), 0, 0, 0x10000};
    FT_Set_Transform(face, &matrix, nullptr);

    Rendered r;
    r.width = pixelSize * 40;
    r.height = pixelSize * 3;
    r.originX = pixelSize;
    r.baseline = pixelSize * 2;
    r.coverage.assign(static_cast<std::size_t>(r.width) * r.height, 0.0f);
    r.inkLeft = r.width;
    r.inkTop = r.height;

    long penX = static_cast<long>(r.originX) * 64;  // 26.6 fixed point
    FT_UInt previous = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        const FT_UInt glyph = FT_Get_Char_Index(face, static_cast<unsigned char>(*p));
        if (previous != 0 && glyph != 0 && FT_HAS_KERNING(face)) {
            FT_Vector kern{};
            FT_Get_Kerning(face, previous, glyph, FT_KERNING_UNFITTED, &kern);
            penX += static_cast<long>(std::lround(static_cast<float>(kern.x) * squeeze));
        }
        if (FT_Load_Glyph(face, glyph, FT_LOAD_RENDER | FT_LOAD_NO_HINTING) != 0) continue;
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        const int left = static_cast<int>(penX >> 6) + slot->bitmap_left;
        const int top = r.baseline - slot->bitmap_top;
        for (unsigned y = 0; y < bitmap.rows; ++y) {
            for (unsigned x = 0; x < bitmap.width; ++x) {
                const int cx = left + static_cast<int>(x), cy = top + static_cast<int>(y);
                if (cx < 0 || cy < 0 || cx >= r.width || cy >= r.height) continue;
                const float c = static_cast<float>(bitmap.buffer[static_cast<long>(y) * bitmap.pitch + x]) / 255.0f;
                if (c <= 0.0f) continue;
                float& dst = r.coverage[static_cast<std::size_t>(cy) * r.width + cx];
                dst = std::max(dst, c);
                r.inkLeft = std::min(r.inkLeft, cx);
                r.inkRight = std::max(r.inkRight, cx);
                r.inkTop = std::min(r.inkTop, cy);
                r.inkBottom = std::max(r.inkBottom, cy);
            }
        }
        penX += slot->advance.x;  // already squeezed by the transform
        previous = glyph;
    }
    return r;
}

// Vertical extent that a line of this font and size is placed by: the union of its own
// ink and that of a reference with capitals, ascenders and descenders, so that lines
// of one group share their baseline position within their bands.
void placementBox(FT_Face face, const Rendered& line, int pixelSize, float squeeze, int& top, int& bottom) {
    const Rendered reference = renderLine(face, "Hdgy", pixelSize, squeeze);
    top = std::min(line.inkTop, reference.inkTop) - line.baseline;
    bottom = std::max(line.inkBottom, reference.inkBottom) - line.baseline;
}

bool fits(FT_Face face, const CaptionLine& line, int pixelSize, float squeeze, const RowRange& rows) {
    const Rendered r = renderLine(face, line.text, pixelSize, squeeze);
    int top = 0, bottom = 0;
    placementBox(face, r, pixelSize, squeeze, top, bottom);
    return bottom - top + 1 <= rows.last - rows.first + 1 && r.inkRight - r.inkLeft + 1 <= kCaptionWidth - 2 * kSideMargin;
}

}  // namespace

const std::vector<CaptionBand>& captionBands() {
    static const std::vector<CaptionBand> bands = {
        {10, 67, 0.5f},   {82, 105, 0.5f},  {107, 126, 0.5f}, {126, 150, 0.5f}, {150, 171, 0.5f},
        {171, 193, 0.5f}, {216, 239, 0.5f}, {241, 264, 0.5f}, {264, 286, 0.5f}, {293, 316, 0.5f},
        {314, 339, 0.5f}, {339, 363, 0.5f}, {363, 387, 0.5f}, {388, 454, 0.7f}, {462, 504, 0.5f},
    };
    return bands;
}

float stripHeight(const CaptionBand& band) {
    const float height = static_cast<float>(band.bottomRow - band.topRow) * 0.0025f;
    return band.stripWidth > 0.5f ? height * (band.stripWidth / 0.5f) : height;
}

float glyphSqueeze(const CaptionBand& band) {
    const float rows = static_cast<float>(band.bottomRow - band.topRow);
    const float pixelsPerRow = stripHeight(band) * 480.0f / rows;
    const float pixelsPerTexel = band.stripWidth * 640.0f / static_cast<float>(kCaptionWidth);
    return pixelsPerRow / pixelsPerTexel;
}

RowRange clearRows(std::size_t bandIndex) {
    const auto& bands = captionBands();
    const CaptionBand& band = bands[bandIndex];
    // Longest run of rows inside the band that belong to no other band.
    RowRange best;
    int runStart = -1;
    for (int row = band.topRow; row <= band.bottomRow; ++row) {
        bool free = row < band.bottomRow;
        for (std::size_t j = 0; free && j < bands.size(); ++j) {
            if (j != bandIndex && row >= bands[j].topRow && row < bands[j].bottomRow) free = false;
        }
        if (free && runStart < 0) runStart = row;
        if (!free && runStart >= 0) {
            if (row - runStart > best.last - best.first + 1) best = {runStart, row - 1};
            runStart = -1;
        }
    }
    // One row of margin at each end: linear filtering at a strip's edge reaches half a
    // row beyond it.
    return {best.first + 1, best.last - 1};
}

Image makeCaptions(const std::string& fontDir, std::string& error) {
    const auto& bands = captionBands();
    Image image(kCaptionWidth, kCaptionHeight, 1);
    Fonts fonts(fontDir);

    // Largest size at which every line of a group fits its band.
    std::vector<int> groupSize(bands.size(), 1000);
    for (std::size_t i = 0; i < bands.size(); ++i) {
        FT_Face face = fonts.face(kLines[i].font, error);
        if (face == nullptr) return {};
        const RowRange rows = clearRows(i);
        const float squeeze = glyphSqueeze(bands[i]);
        int size = (rows.last - rows.first + 1) * 3 / 2;
        while (size > 4 && !fits(face, kLines[i], size, squeeze, rows)) --size;
        int& shared = groupSize[static_cast<std::size_t>(kLines[i].group)];
        shared = std::min(shared, size);
    }

    for (std::size_t i = 0; i < bands.size(); ++i) {
        FT_Face face = fonts.face(kLines[i].font, error);
        const RowRange rows = clearRows(i);
        const float squeeze = glyphSqueeze(bands[i]);
        const int size = groupSize[static_cast<std::size_t>(kLines[i].group)];
        const Rendered r = renderLine(face, kLines[i].text, size, squeeze);
        int top = 0, bottom = 0;
        placementBox(face, r, size, squeeze, top, bottom);

        const int inkWidth = r.inkRight - r.inkLeft + 1;
        const int destLeft = kLines[i].align == Align::Centre ? (kCaptionWidth - inkWidth) / 2 : kSideMargin;
        const int freeRows = (rows.last - rows.first + 1) - (bottom - top + 1);
        const int destBaseline = rows.first + freeRows / 2 - top;
        for (int y = r.inkTop; y <= r.inkBottom; ++y) {
            const int dy = destBaseline + (y - r.baseline);
            if (dy < rows.first || dy > rows.last) continue;  // cannot happen for a fitted size
            for (int x = r.inkLeft; x <= r.inkRight; ++x) {
                const int dx = destLeft + (x - r.inkLeft);
                if (dx < 0 || dx >= kCaptionWidth) continue;
                *image.at(dx, dy) = toByte(r.coverage[static_cast<std::size_t>(y) * r.width + x]);
            }
        }
    }
    return image;
}

}  // namespace datagen
