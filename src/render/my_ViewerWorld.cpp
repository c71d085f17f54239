// The landscape and the water, drawn from the geometry the world keeps.

#include "render/my_ViewerWorld.h"

#include "render/my_Viewer.h"
#include "render/my_ViewerState.h"

#include "resources/e_ResManagerClasses.h"
#include "resources/e_ResourceManager.h"
#include "world/LandshaftObject.h"
#include "world/MapObject.h"
#include "world/e_DrawQueue.h"
#include "world/e_Frustum.h"
#include "world/e_WaterObject.h"

#include <epoxy/gl.h>

#include <cstdint>
#include <vector>

namespace {

void UploadLandscape(TLandshaftObject& land) {
    land.VertexBuffer =
        CreateStaticBuffer(GL_ARRAY_BUFFER, land.RendVerts.data(), land.RendVerts.size() * sizeof(TRendVert));
    land.IndexBuffer =
        CreateStaticBuffer(GL_ELEMENT_ARRAY_BUFFER, land.Indices.data(), land.Indices.size() * sizeof(uint32_t));
    // The buffers hold the geometry now; the host copies would only double the memory.
    std::vector<TRendVert>().swap(land.RendVerts);
    std::vector<uint32_t>().swap(land.Indices);
    land.Uploaded = true;
}

void DrawLandscapeNode(const TLandshaftObject& land, const TMyTreeNode& node) {
    if (node.IsInner) {
        DrawLandscapeNode(land, *node.Child1);
        DrawLandscapeNode(land, *node.Child2);
        return;
    }
    if (land.Frustum && !land.Frustum->BoxVisible(node.BoxMin, node.BoxMax))
        return;
    glDrawElements(GL_TRIANGLES, node.TriangleCount * 3, GL_UNSIGNED_INT,
                   reinterpret_cast<const void*>(uintptr_t(node.FirstIndex) * sizeof(uint32_t)));
}

void UploadWater(TWaterObject& water) {
    water.VertexBuffer = CreateStaticBuffer(GL_ARRAY_BUFFER, water.Vertices.data(),
                                            water.Vertices.size() * sizeof(TWaterObject::TVertex));
    water.IndexBuffer = CreateStaticBuffer(GL_ELEMENT_ARRAY_BUFFER, water.Triangles.data(),
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

    DrawLandscapeNode(land, *land.TreeRoot);

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
// The draw queue of a running renderer

namespace {

class TViewerDrawQueue final : public TDrawQueue {
public:
    void QueueModel(TGameModel& model) override { ::QueueModel(&model); }
    void QueueWaterRing(float x, float y, float z, float age, int32_t texture) override {
        ::QueueWaterRing(x, y, z, age, texture);
    }
    void SetLandscape(TLandshaftObject* landscape) override {
        if (landscape)
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

void InstallMapRenderHooks() { SetDrawQueue(&ViewerQueue); }

void RemoveMapRenderHooks() {
    if (&DrawQueue() == &ViewerQueue)
        SetDrawQueue(nullptr);
}
