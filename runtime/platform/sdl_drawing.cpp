// The SDL platform's drawing: primitives batched into vertex arrays, textures, and the
// OpenGL state they need.
#include <cstring>

#include "runtime/platform/sdl_platform.h"
#include "runtime/platform/sdl_platform_class.h"
#include "runtime/png_pixels.h"

void SdlPlatform::clear(int r, int g, int b) {
    if (context_ == nullptr) return;
    flush();
    glClearColor(r / 255.0f, g / 255.0f, b / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

void SdlPlatform::drawPoint(float x, float y, const Paint& paint) {
    if (reference_) {
        if (!use(paint, 0)) return;
        colour(paint);
        glBegin(GL_POINTS);
        glVertex2f(x, y);
        glEnd();
        return;
    }
    float* v = batch(GL_POINTS, paint, 0, 1);
    if (v == nullptr) return;
    v[0] = x;
    v[1] = y;
}

void SdlPlatform::drawLine(float x1, float y1, float x2, float y2, const Paint& paint) {
    if (reference_) {
        if (!use(paint, 0)) return;
        colour(paint);
        glBegin(GL_LINES);
        glVertex2f(x1, y1);
        glVertex2f(x2, y2);
        glEnd();
        return;
    }
    float* v = batch(GL_LINES, paint, 0, 2);
    if (v == nullptr) return;
    v[0] = x1;
    v[1] = y1;
    v[2] = x2;
    v[3] = y2;
}

void SdlPlatform::setLineWidth(float width) {
    if (context_ == nullptr) return;
    flush();
    glLineWidth(width);
}

// Batched as triangles, so that discs and limbs of one colour go together.
// Each polygon is split the way the driver splits GL_POLYGON and GL_QUADS,
// so the pixels come out the same.
void SdlPlatform::drawPolygon(const float* xy, int count, const Paint& paint) {
    if (count < 3 || context_ == nullptr) return;
    const int vertices = 3 * (count - 2);
    if (reference_ || vertices > kBatchVertices) {
        flush();
        if (!use(paint, 0)) return;
        colour(paint);
        glBegin(count == 4 ? GL_QUADS : GL_POLYGON);
        for (int i = 0; i < count; ++i)
            glVertex2f(xy[2 * i], xy[2 * i + 1]);
        glEnd();
        return;
    }
    float* v = batch(GL_TRIANGLES, paint, 0, vertices);
    if (v == nullptr) return;
    const auto put = [&v, xy](int i) {
        *v++ = xy[2 * i];
        *v++ = xy[2 * i + 1];
    };
    if (count == 4) {
        for (int i : {0, 1, 3, 1, 2, 3})
            put(i);
        return;
    }
    for (int i = 1; i + 1 < count; ++i) {
        put(0);
        put(i);
        put(i + 1);
    }
}

void SdlPlatform::drawTexturedQuad(TextureId texture, float x, float y, float w, float h,
                                   const Paint& paint) {
    if (texture <= 0 || static_cast<std::size_t>(texture) >= textures_.size()) return;
    if (reference_) {
        if (!use(paint, texture)) return;
        colour(paint);
        glBegin(GL_QUADS);
        glTexCoord2f(0.0f, 0.0f);
        glVertex2f(x, y);
        glTexCoord2f(1.0f, 0.0f);
        glVertex2f(x + w, y);
        glTexCoord2f(1.0f, 1.0f);
        glVertex2f(x + w, y + h);
        glTexCoord2f(0.0f, 1.0f);
        glVertex2f(x, y + h);
        glEnd();
        return;
    }
    float* v = batch(GL_QUADS, paint, texture, 4);
    if (v == nullptr) return;
    const float r = textures_[static_cast<std::size_t>(texture)].r;
    const float xy[8] = {x, y, x + w, y, x + w, y + h, x, y + h};
    const float str[12] = {0.0f, 0.0f, r, 1.0f, 0.0f, r, 1.0f, 1.0f, r, 0.0f, 1.0f, r};
    std::memcpy(v, xy, sizeof xy);
    std::memcpy(batchSTR_.data() + 3 * ((v - batchXY_.data()) / 2), str, sizeof str);
}

TextureId SdlPlatform::uploadTexture(int width, int height, const std::uint8_t* rgba, bool smooth) {
    if (context_ == nullptr || rgba == nullptr || width <= 0 || height <= 0) return 0;
    flush();
    if (!smooth && !reference_ && width <= kStackedSize && height <= kStackedSize &&
        texImage3D_ != nullptr && texSubImage3D_ != nullptr) {
        return stack(width, height, rgba);
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    bindTexture(GL_TEXTURE_2D, name);
    textures_.push_back(Slot{GL_TEXTURE_2D, name, 0.0f});
    const auto id = static_cast<TextureId>(textures_.size() - 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, smooth ? GL_LINEAR : GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                    smooth ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST);
    if (smooth && !reference_) {
        uploadWithMipmaps(width, height, rgba);
        return id;
    }
    const bool mipmapAfter = smooth && generateMipmap_ != nullptr;
    if (smooth && !mipmapAfter) glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    if (mipmapAfter) generateMipmap_(GL_TEXTURE_2D);
    return id;
}

// Today's drawing, kept as the reference the batched one must match.
void SdlPlatform::setReferenceDrawing(bool on) {
    flush();
    reference_ = on;
}

std::vector<std::uint8_t> SdlPlatform::readPixels(int width, int height) {
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width) * height * 4);
    if (context_ == nullptr) return {};
    flush();
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
}

// Small unfiltered pictures of one size (the font's glyphs) are slices of
// one 3D texture, so that text of one colour is one batch: the renderer
// copies its whole texture state whenever the bound texture changes. A
// slice is picked by the third coordinate at its middle; the first two
// are sampled exactly as in a picture of its own.
TextureId SdlPlatform::stack(int width, int height, const std::uint8_t* rgba) {
    Stack* into = nullptr;
    for (Stack& st : stacks_) {
        if (st.width == width && st.height == height && st.used < kStackDepth) into = &st;
    }
    if (into == nullptr) {
        Stack fresh{0, width, height, 0};
        glGenTextures(1, &fresh.name);
        bindTexture(GL_TEXTURE_3D, fresh.name);
        glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        texImage3D_(GL_TEXTURE_3D, 0, GL_RGBA8, width, height, kStackDepth, 0, GL_RGBA,
                    GL_UNSIGNED_BYTE, nullptr);
        stacks_.push_back(fresh);
        into = &stacks_.back();
    }
    bindTexture(GL_TEXTURE_3D, into->name);
    texSubImage3D_(GL_TEXTURE_3D, 0, 0, 0, into->used, width, height, 1, GL_RGBA, GL_UNSIGNED_BYTE,
                   rgba);
    const float r = (static_cast<float>(into->used) + 0.5f) / kStackDepth;
    ++into->used;
    textures_.push_back(Slot{GL_TEXTURE_3D, into->name, r});
    return static_cast<TextureId>(textures_.size() - 1);
}

// Built here rather than by the driver, whose way starts the renderer's
// shader compiler and costs the title a good part of its start.
void SdlPlatform::uploadWithMipmaps(int width, int height, const std::uint8_t* rgba) {
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    Pixels level;
    level.width = width;
    level.height = height;
    level.rgba.assign(rgba, rgba + static_cast<std::size_t>(width) * height * 4);
    for (int i = 1; level.width > 1 || level.height > 1; ++i) {
        level = halvePixels(level);
        glTexImage2D(GL_TEXTURE_2D, i, GL_RGBA8, level.width, level.height, 0, GL_RGBA,
                     GL_UNSIGNED_BYTE, level.rgba.data());
    }
}

// Room for `count` more vertices in the batch of this kind, paint and
// texture; whatever else waits is drawn first. Null when nothing is to be
// drawn.
float* SdlPlatform::batch(GLenum mode, Paint paint, TextureId texture, int count) {
    if (context_ == nullptr) return nullptr;
    // Untextured, a cut-out is all or nothing: it passes the alpha test
    // from opacity 128 on (128 / 255 >= 0.5) and none of it below. Drawn
    // as opaque it takes the renderer's faster path, with the same pixels.
    if (texture == 0 && paint.blend == Cutout) {
        if (paint.alpha < 128) return nullptr;
        paint.blend = Opaque;
    }
    // Slices of one stack share a batch: they differ only in a coordinate.
    const bool same = batched_ > 0 && mode == batchMode_ &&
                      textures_[static_cast<std::size_t>(texture)].name ==
                          textures_[static_cast<std::size_t>(batchTexture_)].name &&
                      paint.r == batchPaint_.r && paint.g == batchPaint_.g &&
                      paint.b == batchPaint_.b && paint.alpha == batchPaint_.alpha &&
                      paint.blend == batchPaint_.blend;
    if (!same || batched_ + count > kBatchVertices) {
        flush();
        batchMode_ = mode;
        batchPaint_ = paint;
        batchTexture_ = texture;
    }
    float* at = batchXY_.data() + 2 * batched_;
    batched_ += count;
    return at;
}

// One draw for the whole batch: within it OpenGL draws each primitive
// over the ones before, as separate draws would.
void SdlPlatform::flush() {
    if (batched_ == 0) return;
    const int count = batched_;
    batched_ = 0;
    if (!use(batchPaint_, batchTexture_)) return;
    // The colour goes with every vertex, as glColor4ub would convert it:
    // the driver's way of mixing a current colour with arrays is slow.
    const float rgba[4] = {batchPaint_.r / 255.0f, batchPaint_.g / 255.0f, batchPaint_.b / 255.0f,
                           batchPaint_.alpha / 255.0f};
    for (int i = 0; i < count; ++i)
        std::memcpy(&batchRGBA_[4 * static_cast<std::size_t>(i)], rgba, sizeof rgba);
    const bool textured = batchTexture_ != 0;
    if (textured != texCoordArray_) {
        if (textured) {
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        } else {
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        }
        texCoordArray_ = textured;
    }
    glDrawArrays(batchMode_, 0, count);
}

// Sends only the state that changed: blend mode, texturing and the bound
// texture are the costly ones.
bool SdlPlatform::use(const Paint& paint, TextureId texture) {
    if (context_ == nullptr || texture < 0 ||
        static_cast<std::size_t>(texture) >= textures_.size()) {
        return false;
    }
    setBlend(paint.blend);
    const Slot& slot = textures_[static_cast<std::size_t>(texture)];
    if (slot.target != target_) {
        if (target_ != 0) glDisable(target_);
        if (slot.target != 0) glEnable(slot.target);
        target_ = slot.target;
    }
    if (slot.target != 0) bindTexture(slot.target, slot.name);
    return true;
}

void SdlPlatform::colour(const Paint& paint) { glColor4ub(paint.r, paint.g, paint.b, paint.alpha); }

void SdlPlatform::bindTexture(GLenum target, GLuint name) {
    GLuint& bound = target == GL_TEXTURE_3D ? bound3D_ : bound2D_;
    if (name == bound) return;
    glBindTexture(target, name);
    bound = name;
}

void SdlPlatform::setBlend(int mode) {
    if (mode < Cutout || mode > Multiply) mode = Opaque;
    if (mode == blend_) return;
    blend_ = mode;
    switch (mode) {
        case Cutout:
            glDisable(GL_BLEND);
            glEnable(GL_ALPHA_TEST);
            glAlphaFunc(GL_GEQUAL, 0.5f);
            break;
        case Opaque:
            glDisable(GL_BLEND);
            glDisable(GL_ALPHA_TEST);
            break;
        case Translucent:
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            glDisable(GL_ALPHA_TEST);
            break;
        case Additive:
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE);
            glDisable(GL_ALPHA_TEST);
            break;
        case Multiply:
            glEnable(GL_BLEND);
            glBlendFunc(GL_DST_COLOR, GL_ZERO);
            glDisable(GL_ALPHA_TEST);
            break;
    }
}

void setSdlReferenceDrawing(bool on) { instance().setReferenceDrawing(on); }

std::vector<std::uint8_t> readSdlPixels(int width, int height) {
    return instance().readPixels(width, height);
}
