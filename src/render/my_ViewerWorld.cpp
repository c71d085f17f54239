// The landscape and the water, drawn from the geometry the world keeps.

#include "render/my_ViewerWorld.h"

#include "render/my_Viewer.h"
#include "render/my_ViewerState.h"

#include "resources/e_ResManagerClasses.h"
#include "resources/e_ResourceDevice.h"
#include "resources/e_ResourceManager.h"
#include "world/LandshaftObject.h"
#include "world/MapObject.h"
#include "world/e_DrawQueue.h"
#include "world/e_Frustum.h"
#include "world/e_WaterObject.h"

#include <epoxy/gl.h>
// After epoxy, which stands in for GL/gl.h.
#include <GL/glu.h>

#include <cstdint>
#include <vector>

namespace {

void UploadLandscape(TLandshaftObject& land) {
    land.VertexBuffer = CreateStaticBuffer(TBufferKind::Vertices, land.RendVerts.data(),
                                           land.RendVerts.size() * sizeof(TRendVert));
    land.IndexBuffer =
        CreateStaticBuffer(TBufferKind::Indices, land.Indices.data(), land.Indices.size() * sizeof(uint32_t));
    // The buffers hold the geometry now; the host copies would only double the memory.
    std::vector<TRendVert>().swap(land.RendVerts);
    std::vector<uint32_t>().swap(land.Indices);
    land.Uploaded = true;
}

constexpr uint32_t IndicesPerTile = 24;

// Index ranges of tiles to draw with one program, consecutive ones merged.
struct TTileRuns {
    std::vector<GLsizei> Counts;
    std::vector<const void*> Offsets;
    uint32_t End = 0;  // index after the last run
    int32_t Tiles = 0;

    void AddTile(uint32_t first) {
        if (!Counts.empty() && first == End)
            Counts.back() += GLsizei(IndicesPerTile);
        else {
            Counts.push_back(GLsizei(IndicesPerTile));
            Offsets.push_back(reinterpret_cast<const void*>(uintptr_t(first) * sizeof(uint32_t)));
        }
        End = first + IndicesPerTile;
        ++Tiles;
    }
    void Clear() {
        Counts.clear();
        Offsets.clear();
        End = 0;
        Tiles = 0;
    }
    void Draw() const {
        if (!Counts.empty())
            glMultiDrawElements(GL_TRIANGLES, Counts.data(), GL_UNSIGNED_INT, Offsets.data(),
                                GLsizei(Counts.size()));
    }
};

// A leaf in view gives its tiles in view, sorted by what their fragments must look up
// (runs[needs], a viewer::TLandNeeds); with `split` false, all go to runs[LandNeedsAll].
void CollectLandscapeTiles(const TLandshaftObject& land, const TMyTreeNode& node, bool split,
                           TTileRuns (&runs)[viewer::LandNeedsAll + 1]) {
    if (node.IsInner) {
        CollectLandscapeTiles(land, *node.Child1, split, runs);
        CollectLandscapeTiles(land, *node.Child2, split, runs);
        return;
    }
    if (land.Frustum && !land.Frustum->BoxVisible(node.BoxMin, node.BoxMax))
        return;
    uint32_t index = uint32_t(node.FirstIndex);
    for (int32_t row = node.Row0; row <= node.Row1; ++row)
        for (int32_t col = node.Col0; col <= node.Col1; ++col, index += IndicesPerTile) {
            float low = PlusInfinity, high = MinusInfinity;
            for (int32_t i = 0; i < 3; ++i)
                for (int32_t j = 0; j < 3; ++j) {
                    const float h = land.Vert(2 * row + i, 2 * col + j).Position.y;
                    low = std::min(low, h), high = std::max(high, h);
                }
            const TMyVector3f lo{float(row), low, float(col)};
            const TMyVector3f hi{float(row + 1), high, float(col + 1)};
            if (land.Frustum && !land.Frustum->BoxVisible(lo, hi))
                continue;
            int needs = viewer::LandNeedsAll;
            if (split) {
                needs = viewer::MayReceiveShadow(lo, hi) ? viewer::LandNeedsShadow : 0;
                if (!viewer::FogClearOver(col, row, land.TileCols, land.TileRows))
                    needs |= viewer::LandNeedsFog;
            }
            runs[needs].AddTile(index);
        }
}

void UploadWater(TWaterObject& water) {
    water.VertexBuffer = CreateStaticBuffer(TBufferKind::Vertices, water.Vertices.data(),
                                            water.Vertices.size() * sizeof(TWaterObject::TVertex));
    water.IndexBuffer = CreateStaticBuffer(TBufferKind::Indices, water.Triangles.data(),
                                           water.Triangles.size() * sizeof(TWaterObject::TTriangle));
    water.Uploaded = true;
}

}  // namespace

void DrawLandscape(TLandshaftObject& land) {
    if (!land.TreeRoot)
        return;
    if (!land.Uploaded)
        UploadLandscape(land);
    constexpr GLsizei stride = sizeof(TRendVert);
    glBindBuffer(GL_ARRAY_BUFFER, land.VertexBuffer);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, stride, reinterpret_cast<const void*>(0));
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(4, GL_FLOAT, stride, reinterpret_cast<const void*>(12));
    glEnableClientState(GL_NORMAL_ARRAY);
    glNormalPointer(GL_FLOAT, stride, reinterpret_cast<const void*>(28));
    glClientActiveTexture(GL_TEXTURE0);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, stride, reinterpret_cast<const void*>(40));
    glClientActiveTexture(GL_TEXTURE1);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, stride, reinterpret_cast<const void*>(48));
    if (land.TileSetTexture >= 0) {
        BindTexture(land.TileSetTexture, 0);
        BindTexture(land.TileSetTexture, 1);
    }
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, land.IndexBuffer);

    // Inside the renderer's frame each tile takes the program that looks up only what
    // it needs; otherwise all take the bound program.
    TShader* const* programs = viewer::V.LandPrograms;
    const bool split = programs[viewer::LandNeedsAll] != nullptr;
    static TTileRuns runs[viewer::LandNeedsAll + 1];
    for (TTileRuns& r : runs)
        r.Clear();
    CollectLandscapeTiles(land, *land.TreeRoot, split, runs);
    for (int needs = 0; needs <= viewer::LandNeedsAll; ++needs) {
        if (split && !runs[needs].Counts.empty())
            programs[needs]->Bind();
        runs[needs].Draw();
    }
    if (split) {
        for (int needs = 0; needs <= viewer::LandNeedsAll; ++needs) {
            viewer::V.Stats.LandTiles += runs[needs].Tiles;
            if (needs & viewer::LandNeedsShadow)
                viewer::V.Stats.LandTilesShadowed += runs[needs].Tiles;
            if (needs & viewer::LandNeedsFog)
                viewer::V.Stats.LandTilesFogged += runs[needs].Tiles;
        }
    }

    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glClientActiveTexture(GL_TEXTURE1);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glClientActiveTexture(GL_TEXTURE0);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, 0);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void DrawWaterSurface(TWaterObject& water) {
    if (!water.Uploaded)
        UploadWater(water);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_FALSE);
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(-1.0f, -1.0f);

    constexpr GLsizei stride = sizeof(TWaterObject::TVertex);
    glBindBuffer(GL_ARRAY_BUFFER, water.VertexBuffer);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, stride, reinterpret_cast<const void*>(0));
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(4, GL_FLOAT, stride, reinterpret_cast<const void*>(12));
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, water.IndexBuffer);
    if (water.TriangleCount > 0)
        glDrawElements(GL_TRIANGLES, water.TriangleCount * 3, GL_UNSIGNED_INT, nullptr);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);

    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glClientActiveTexture(GL_TEXTURE1);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glClientActiveTexture(GL_TEXTURE0);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisable(GL_POLYGON_OFFSET_FILL);
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
}

void DrawMapWater(TGameMap& map) {
    // The renderer has bound the water program; its uniforms are set on whatever program is current.
    GLint program = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    if (program) {
        if (const GLint loc = glGetUniformLocation(GLuint(program), "time"); loc >= 0)
            glUniform1f(loc, float(map.Time));
        if (const GLint loc = glGetUniformLocation(GLuint(program), "mapSize"); loc >= 0)
            glUniform2f(loc, float(map.MapCols), float(map.MapRows));
    }
    if (map.CloudsTexture >= 0)
        BindTexture(map.CloudsTexture, 0);
    for (const auto& water : map.Waters)
        if (!map.Frustum || map.Frustum->BoxVisible(water->BoxMin, water->BoxMax))
            DrawWaterSurface(*water);
}

// ---------------------------------------------------------------------------------------------
// The resource device

namespace {

static_assert(TextureRGB == GL_RGB && TextureRGBA == GL_RGBA && TextureLuminance == GL_LUMINANCE,
              "decoded textures carry OpenGL's format numbers");

class TGLResourceDevice final : public TResourceDevice {
public:
    uint32_t CreateTexture(const TStoredTextureData& data, bool mipmaps) override {
        // Uploading must not disturb what the renderer has bound on the active unit
        // (a shadow map on unit 3 would silently vanish).
        GLint previous = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
        GLuint name = 0;
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        // Rows are packed without padding; the default alignment of 4 would make GL read past
        // the end of every row of an RGB or grey image whose width is not a multiple of 4.
        GLint oldAlignment = 4;
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &oldAlignment);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        const GLenum format = data.Format;
        const size_t needed = size_t(data.Width) * data.Height * TextureFormatBytes(data.Format);
        const bool usable = needed > 0 && data.Pixels.size() >= needed;
        if (usable && mipmaps) {
            gluBuild2DMipmaps(GL_TEXTURE_2D, static_cast<GLint>(format), data.Width, data.Height, format,
                              GL_UNSIGNED_BYTE, data.Pixels.data());
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        } else {
            if (usable)
                glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), data.Width, data.Height, 0, format,
                             GL_UNSIGNED_BYTE, data.Pixels.data());
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        }
        glPixelStorei(GL_UNPACK_ALIGNMENT, oldAlignment);
        glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLfloat>(GL_MODULATE));
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
        return name;
    }
    void DeleteTexture(uint32_t name) override {
        if (name && glIsTexture(name))
            glDeleteTextures(1, &name);
        viewer::ForgetStillShadow();
    }
    void SelectTextureUnit(int32_t unit) override { glActiveTexture(GL_TEXTURE0 + GLenum(unit)); }
    void BindTexture(uint32_t name) override { glBindTexture(GL_TEXTURE_2D, name); }
    uint32_t CreateBuffer(TBufferKind kind, const void* data, size_t bytes) override {
        const GLenum target = kind == TBufferKind::Indices ? GL_ELEMENT_ARRAY_BUFFER : GL_ARRAY_BUFFER;
        GLuint buffer = 0;
        glGenBuffers(1, &buffer);
        glBindBuffer(target, buffer);
        glBufferData(target, GLsizeiptr(bytes), data, GL_STATIC_DRAW);
        glBindBuffer(target, 0);
        return buffer;
    }
    void DeleteBuffer(uint32_t name) override {
        if (name && glIsBuffer(name))
            glDeleteBuffers(1, &name);
        viewer::ForgetStillShadow();
    }
};

TGLResourceDevice GLDevice;

}  // namespace

TResourceDevice& GLResourceDevice() { return GLDevice; }

// ---------------------------------------------------------------------------------------------
// The draw queue of a running renderer

namespace {

class TViewerDrawQueue final : public TDrawQueue {
public:
    void QueueModel(TGameModel& model) override { ::QueueModel(&model); }
    void QueueWaterRing(float x, float y, float z, float age, int32_t texture) override {
        ::QueueWaterRing(x, y, z, age, texture);
    }
    void SetLandscape(TLandshaftObject* landscape) override {
        if (landscape && landscape->TreeRoot)
            viewer::QueueLandscape([landscape] { DrawLandscape(*landscape); }, landscape->TreeRoot->BoxMin.y,
                                   landscape->TreeRoot->BoxMax.y);
        else if (landscape)
            QueueLandscape([landscape] { DrawLandscape(*landscape); });
        else
            QueueLandscape(nullptr);
    }
    void SetWater(TGameMap* map) override {
        if (map)
            SetWaterDraw([map](TShader&) { DrawMapWater(*map); });
        else
            SetWaterDraw(nullptr);
    }
};

TViewerDrawQueue ViewerQueue;

}  // namespace

void InstallRendererDevices() {
    SetResourceDevice(&GLDevice);
    SetDrawQueue(&ViewerQueue);
}

void RemoveRendererDevices() {
    if (&DrawQueue() == &ViewerQueue)
        SetDrawQueue(nullptr);
    if (&ResourceDevice() == &GLDevice)
        SetResourceDevice(nullptr);
}
