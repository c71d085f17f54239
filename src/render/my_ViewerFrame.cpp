// The scene pass: material buckets, shadow map, landscape, water, models, debug
// boxes and rings.

#include "app/e_CameraObject.h"
#include "render/e_ShaderObject.h"
#include "render/my_Viewer.h"
#include "render/my_ViewerState.h"
#include "resources/e_ResourceManager.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <string>

using namespace viewer;

static_assert(sizeof(TBoneFrame) == 7 * sizeof(float), "a pose is sent as 7 floats per bone");

namespace {

constexpr int ModeShadow = 2;
constexpr GLsizei SkinnedStride = SkinnedVertexSize * 4;  // 88 bytes
constexpr GLsizei StaticStride = StaticVertexSize * 4;    // 56 bytes

const TVBORendMesh& MeshOf(const TMeshPtr& e) { return V.ModelInfos[e.Info].VBOData->Meshes[e.Mesh]; }

TMatrix4f Ortho(float l, float r, float b, float t, float n, float f) {
    TMatrix4f m{};
    m.m[0] = 2.0f / (r - l);
    m.m[5] = 2.0f / (t - b);
    m.m[10] = -2.0f / (f - n);
    m.m[12] = -(r + l) / (r - l);
    m.m[13] = -(t + b) / (t - b);
    m.m[14] = -(f + n) / (f - n);
    m.m[15] = 1.0f;
    return m;
}

void SetPointers(const TVBORendData& vbo, bool skinned, int mode, GLint tangent, GLint bIndexes,
                 GLint bWeights) {
    GLsizei stride = skinned ? SkinnedStride : StaticStride;
    auto at = [](size_t offset) { return reinterpret_cast<const void*>(offset); };
    glBindBuffer(GL_ARRAY_BUFFER, vbo.VertexBuffer);
    glVertexPointer(3, GL_FLOAT, stride, at(0));
    if (mode != ModeShadow)
        glNormalPointer(GL_FLOAT, stride, at(12));
    if (tangent >= 0)
        glVertexAttribPointer(tangent, 3, GL_FLOAT, GL_FALSE, stride, at(24));
    glTexCoordPointer(2, GL_FLOAT, stride, at(48));
    if (bIndexes >= 0)
        glVertexAttribPointer(bIndexes, 4, GL_FLOAT, GL_FALSE, stride, at(56));
    if (bWeights >= 0)
        glVertexAttribPointer(bWeights, 4, GL_FLOAT, GL_FALSE, stride, at(72));
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void SendInstance(TShader& shader, const TModelDrawItem& inst, bool skinned, int mode) {
    float color[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    if (skinned) {
        if (inst.UseColor) {
            color[0] = inst.Color.x;
            color[1] = inst.Color.y;
            color[2] = inst.Color.z;
        }
        if (inst.Fading)
            color[3] = inst.Alpha;
    }
    glColor4fv(color);
    if (mode != ModeShadow)
        shader.SetMatrix("modelMatrix", inst.ModelMatrix);
    if (!skinned)
        return;
    shader.SetInt("userColor", inst.UseColor ? 1 : 0);
    // A tinted figure shows through the landscape; in the shadow map it must still
    // be depth-tested, or it would stamp its shadow over everything drawn before it.
    if (inst.UseColor && mode != ModeShadow)
        glDisable(GL_DEPTH_TEST);
    else
        glEnable(GL_DEPTH_TEST);
    // A figure without a pose is drawn in its bind pose rather than in the pose of
    // whichever figure came before it.
    static const std::vector<float> restPose(MaxSkinBones * 7, 0.0f);
    int32_t bones = std::clamp(inst.BoneCount, 0, MaxSkinBones);
    static bool tooManyLogged = false;
    if (inst.BoneCount > MaxSkinBones && !tooManyLogged) {
        tooManyLogged = true;
        LogLine("Renderer: a figure has " + std::to_string(inst.BoneCount) + " bones; only the first " +
                std::to_string(MaxSkinBones) + " are animated");
    }
    if (inst.Pose && bones > 0)
        shader.SetFloats("bones", reinterpret_cast<const float*>(inst.Pose), bones * 7);
    else
        shader.SetFloats("bones", restPose.data(), MaxSkinBones * 7);
}

void SendMaterial(TShader& shader, const TModelDrawItem& inst, const TVBORendMesh& mesh, bool skinned,
                  int mode, int32_t diffUnit, int32_t bumpUnit, int32_t glossUnit) {
    shader.SetFloat("refValueATest", mesh.AlphaTest ? mesh.AlphaRef : 0.0f);
    if (mode != ModeShadow) {
        shader.SetFloat("specPower", mesh.GlossTexture == -1 ? 0.0f : mesh.SpecPower);
        shader.SetFloat("parScale", mesh.Parallax ? mesh.ParallaxScale : 0.0f);
    }
    int32_t diffuse = mesh.Textures[0];
    // Variants 1..7 only: the texture table has eight slots.
    if (skinned && inst.Variant >= 1 && inst.Variant < static_cast<int32_t>(mesh.Textures.size()) &&
        mesh.Textures[inst.Variant] >= 0)
        diffuse = mesh.Textures[inst.Variant];
    if (diffUnit >= 0)
        BindTextureOrWhite(diffuse, diffUnit);
    if (mode == ModeShadow)
        return;
    if (mesh.BumpTexture != -1 && bumpUnit >= 0)
        BindTextureOrWhite(mesh.BumpTexture, bumpUnit);
    if (mesh.GlossTexture != -1 && glossUnit >= 0)
        BindTextureOrWhite(mesh.GlossTexture, glossUnit);
}

void DrawMeshList(const std::vector<TMeshPtr>& list, TShader* shader, bool skinned, int mode) {
    if (list.empty() || !shader)
        return;
    GLint tangent = shader->AttributeLocation("tangent");
    GLint bIndexes = skinned ? shader->AttributeLocation("bIndexes") : -1;
    GLint bWeights = skinned ? shader->AttributeLocation("bWeights") : -1;
    int32_t diffUnit = SamplerUnit(*shader, "diffMap");
    int32_t bumpUnit = SamplerUnit(*shader, "bumpMap");
    int32_t glossUnit = SamplerUnit(*shader, "glossMap");

    glClientActiveTexture(GL_TEXTURE0);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    if (mode != ModeShadow)
        glEnableClientState(GL_NORMAL_ARRAY);
    for (GLint a : {tangent, bIndexes, bWeights})
        if (a >= 0)
            glEnableVertexAttribArray(a);

    int32_t prevInstance = -1, prevInfo = -1, prevMesh = -1;
    for (const TMeshPtr& e : list) {
        const TModelDrawItem& inst = V.Instances[e.Instance];
        const TVBORendMesh& mesh = MeshOf(e);
        glPushMatrix();
        glMultMatrixf(inst.ModelMatrix.m);
        bool newInstance = e.Instance != prevInstance;
        if (newInstance)
            SendInstance(*shader, inst, skinned, mode);
        if (e.Info != prevInfo)
            SetPointers(*V.ModelInfos[e.Info].VBOData, skinned, mode, tangent, bIndexes, bWeights);
        // Figures of one model follow each other with the same mesh; each may wear
        // another diffuse variant, so a new figure sends its material again.
        if (e.Info != prevInfo || e.Mesh != prevMesh || (skinned && newInstance))
            SendMaterial(*shader, inst, mesh, skinned, mode, diffUnit, bumpUnit, glossUnit);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, mesh.IndexBuffer);
        glDrawElements(GL_TRIANGLES, mesh.TriCount * 3, GL_UNSIGNED_INT, nullptr);
        glPopMatrix();
        ++V.Stats.DrawCalls;
        if (mode == ModeShadow)
            ++V.Stats.ShadowDraws;
        prevInstance = e.Instance;
        prevInfo = e.Info;
        prevMesh = e.Mesh;
    }
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);

    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    if (mode != ModeShadow)
        glDisableClientState(GL_NORMAL_ARRAY);
    for (GLint a : {tangent, bIndexes, bWeights})
        if (a >= 0)
            glDisableVertexAttribArray(a);
    glEnable(GL_DEPTH_TEST);
}

// A texture is uploaded the first time it is bound, and uploading borrows the
// active unit. Binding all of a model's textures once before its meshes are drawn
// keeps those uploads from unbinding a texture just placed for the draw.
void UploadTextures(const TVBORendData& vbo) {
    for (const TVBORendMesh& mesh : vbo.Meshes) {
        for (int32_t tex : mesh.Textures)
            BindTextureOrWhite(tex, 0);
        BindTextureOrWhite(mesh.BumpTexture, 0);
        BindTextureOrWhite(mesh.GlossTexture, 0);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
}

// Each instance appends all its meshes at once, so entries of one instance and
// model follow each other and the list draw re-sends little.
void FillBuckets(std::vector<int32_t>& infoOfInstance) {
    infoOfInstance.assign(V.Instances.size(), -1);
    for (size_t i = 0; i < V.Instances.size(); ++i) {
        const TModelDrawItem& inst = V.Instances[i];
        int32_t info = -1;
        for (size_t k = 0; k < V.ModelInfos.size(); ++k)
            if (V.ModelInfos[k].ModelHandle == inst.ModelHandle) {
                info = static_cast<int32_t>(k);
                break;
            }
        if (info < 0) {
            TResMdlInfo mi;
            mi.ModelHandle = inst.ModelHandle;
            mi.RendData = GetModelRendData(inst.ModelHandle);
            mi.ColidData = GetModelColidData(inst.ModelHandle);
            mi.VBOData = mi.RendData ? GetModelVBOData(inst.ModelHandle) : nullptr;
            V.ModelInfos.push_back(mi);
            if (mi.VBOData)
                UploadTextures(*mi.VBOData);
            info = static_cast<int32_t>(V.ModelInfos.size()) - 1;
        }
        infoOfInstance[i] = info;
        const TVBORendData* vbo = V.ModelInfos[info].VBOData;
        if (!vbo || !vbo->VertexBuffer)
            continue;
        for (size_t e = 0; e < vbo->Meshes.size(); ++e) {
            const TVBORendMesh& mesh = vbo->Meshes[e];
            if (mesh.TriCount <= 0 || !mesh.IndexBuffer)
                continue;
            TMeshBucket b = ChooseMeshBucket(inst.Skinned, inst.Fading, mesh);
            V.Buckets[b].push_back(TMeshPtr{static_cast<int32_t>(i), info, static_cast<int32_t>(e)});
        }
    }
}

// Static casters without a cut-out only need their depth: drawn without a
// program, the rasteriser tests depth before shading and shades nothing.
void DrawDepthOnly(const std::vector<TMeshPtr>& list) {
    if (list.empty())
        return;
    glUseProgram(0);
    glEnableClientState(GL_VERTEX_ARRAY);
    int32_t prevInfo = -1;
    for (const TMeshPtr& e : list) {
        const TModelDrawItem& inst = V.Instances[e.Instance];
        const TVBORendMesh& mesh = MeshOf(e);
        if (e.Info != prevInfo) {
            glBindBuffer(GL_ARRAY_BUFFER, V.ModelInfos[e.Info].VBOData->VertexBuffer);
            glVertexPointer(3, GL_FLOAT, StaticStride, nullptr);
            glBindBuffer(GL_ARRAY_BUFFER, 0);
            prevInfo = e.Info;
        }
        glPushMatrix();
        glMultMatrixf(inst.ModelMatrix.m);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, mesh.IndexBuffer);
        glDrawElements(GL_TRIANGLES, mesh.TriCount * 3, GL_UNSIGNED_INT, nullptr);
        glPopMatrix();
        ++V.Stats.DrawCalls;
        ++V.Stats.ShadowDraws;
    }
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glDisableClientState(GL_VERTEX_ARRAY);
}

// The texels of the shadow map the frame can read: the light's view of the part
// of the camera's view that lies between the lowest and the highest receiver (the
// ground and the tops of the models). Casters drawn outside it would only write
// texels no fragment reads; on a software rasteriser the trees' leaves there cost
// as much as those in sight. Two texels more on each side for the 2 x 2 texels a
// lookup reads. False when the view does not reach that slab within its range:
// the whole map is drawn then.
bool ShadowReadArea(const TCamera& camera, const TMatrix4f& lightProjView, float lowest, float highest,
                    GLint area[4]) {
    static constexpr double Corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    const TMyVector3f origin = camera.GetPosition();
    float x0 = 1e30f, x1 = -1e30f, y0 = 1e30f, y1 = -1e30f;
    auto add = [&](const TMyVector3f& p) {
        const TMyVector3f q = MatTransformPoint(lightProjView, p);
        x0 = std::min(x0, q.x), x1 = std::max(x1, q.x);
        y0 = std::min(y0, q.y), y1 = std::max(y1, q.y);
    };
    if (origin.y >= lowest && origin.y <= highest)
        add(origin);
    for (const auto& corner : Corners) {
        TMyVector3f d = camera.DeviceDirection(corner[0], corner[1]);
        Vec3Normalize(d);
        // Each edge of the view enters and leaves the slab within its range.
        if (!(std::fabs(d.y) > 1e-4f))
            return false;
        for (float h : {lowest, highest}) {
            const float t = (h - origin.y) / d.y;
            if (t < 0.0f) {
                if (origin.y >= lowest && origin.y <= highest)
                    continue;  // looking away from this plane from inside the slab
                return false;
            }
            if (t > float(camera.Far))
                return false;
            add(origin + d * t);
        }
    }
    if (!(x0 <= x1) || !(y0 <= y1))
        return false;
    const float size = float(V.ShadowSize);
    auto texel = [size](float ndc) { return std::clamp((ndc * 0.5f + 0.5f) * size, -4.0f, size + 4.0f); };
    const GLint left = std::max(GLint(std::floor(texel(x0))) - 2, 0);
    const GLint bottom = std::max(GLint(std::floor(texel(y0))) - 2, 0);
    const GLint right = std::min(GLint(std::ceil(texel(x1))) + 2, GLint(V.ShadowSize));
    const GLint top = std::min(GLint(std::ceil(texel(y1))) + 2, GLint(V.ShadowSize));
    area[0] = left, area[1] = bottom;
    area[2] = std::max(right - left, 0), area[3] = std::max(top - bottom, 0);
    return true;
}

// The heights between which the frame's receivers lie: the landscape's range and
// the boxes of the meshes drawn with "modelBamp", the only models that read the
// shadow map. Unknown (an empty range) when a landscape came without its range.
void ReceiverHeights(float& lowest, float& highest) {
    lowest = 1e30f, highest = -1e30f;
    if (V.Landscape) {
        if (!V.LandscapeBounded)
            return;
        lowest = V.LandscapeLowest, highest = V.LandscapeHighest;
    }
    ForEachInstanceIn(BucketStaticBump, [&](const TModelDrawItem& inst, const TResMdlInfo& info) {
        const TStoredRendData* rend = info.RendData;
        if (!rend) {
            lowest = 1e30f, highest = -1e30f;
            return false;
        }
        for (int corner = 0; corner < 8; ++corner) {
            const float y =
                MatTransformPoint(inst.ModelMatrix, BoxCorner(rend->BoxMin, rend->BoxMax, corner)).y;
            lowest = std::min(lowest, y), highest = std::max(highest, y);
        }
        return true;
    });
}

void RenderShadowMap(const TMyVector3f& light, const TCamera* camera) {
    if (V.SpareShadow.FBO) {
        std::swap(V.ShadowDepthTex, V.SpareShadow.DepthTex);
        std::swap(V.ShadowColorTex, V.SpareShadow.ColorTex);
        std::swap(V.ShadowFBO, V.SpareShadow.FBO);
    }
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glDisable(GL_ALPHA_TEST);

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    TMatrix4f lightView = ShadowLightView(light);
    glLoadMatrixf(lightView.m);

    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, V.ShadowFBO);
    glViewport(0, 0, V.ShadowSize, V.ShadowSize);
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(2.0f, 2.0f);
    glDepthMask(GL_TRUE);
    glDepthFunc(GL_LESS);
    glDisable(GL_CULL_FACE);

    TMatrix4f projection = FitShadowProjection(V.ShadowFocus, lightView, V.ShadowSize);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(projection.m);
    glMatrixMode(GL_MODELVIEW);

    float lowest = 0.0f, highest = 0.0f;
    ReceiverHeights(lowest, highest);
    TShadowView view;
    std::memcpy(view.Projection, projection.m, sizeof view.Projection);
    std::memcpy(view.LightView, lightView.m, sizeof view.LightView);
    view.Scissored =
        camera && lowest <= highest && highest - lowest < 1e6f &&
        ShadowReadArea(*camera, MatMultiply(projection, lightView), lowest - 1.0f, highest + 1.0f, view.Area);
    if (!view.Scissored)
        std::fill(std::begin(view.Area), std::end(view.Area), 0);
    V.Stats.ShadowTexels = view.Scissored ? view.Area[2] * view.Area[3] : V.ShadowSize * V.ShadowSize;
    // Static casters: the solid ones first, then the cut-outs, whose texture
    // decides per fragment.
    static std::vector<TMeshPtr> solid, cutOut;
    solid.clear();
    cutOut.clear();
    for (TMeshBucket bucket : {BucketStaticBump, BucketStaticPlain, BucketStaticEmissive})
        for (const TMeshPtr& e : V.Buckets[bucket])
            (MeshOf(e).AlphaTest ? cutOut : solid).push_back(e);
    DrawStillCasters(view, solid, cutOut,
                     [](const std::vector<TMeshPtr>& someSolid, const std::vector<TMeshPtr>& someCutOut) {
                         TShader* still = Program(prDrawToShadowMap);
                         if (!still)
                             return;
                         DrawDepthOnly(someSolid);
                         if (!someCutOut.empty()) {
                             still->Bind();
                             DrawMeshList(someCutOut, still, false, ModeShadow);
                             still->Unbind();
                         }
                     });
    TShader* skin = Program(prDrawToShadowMapSkel);
    for (TMeshBucket bucket : {BucketSkinBump, BucketSkinPlain, BucketSkinEmissive}) {
        if (V.Buckets[bucket].empty() || !skin)
            continue;
        skin->Bind();
        DrawMeshList(V.Buckets[bucket], skin, true, ModeShadow);
        skin->Unbind();
    }

    glDisable(GL_SCISSOR_TEST);
    V.LightProjView = MatMultiply(projection, lightView);
    MarkShadowCasters(V.LightProjView);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_POLYGON_OFFSET_FILL);
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

// A textured square lying flat at height y, half-size r.
void FlatQuad(float x, float y, float z, float r) {
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(x - r, y, z - r);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(x + r, y, z - r);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(x + r, y, z + r);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(x - r, y, z + r);
}

void DrawWaterAndRings() {
    glEnable(GL_STENCIL_TEST);
    if (V.WaterDraw) {
        if (TShader* noise = Program(prNoise)) {
            glStencilFunc(GL_ALWAYS, 1, 1);
            glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
            noise->Bind();
            glActiveTexture(GL_TEXTURE0);
            V.WaterDraw(*noise);
            noise->Unbind();
        }
    }
    TShader* ring = Program(prWaterRing);
    if (!V.WaterRings.empty() && ring && GetTextureData(V.WaterRingTex)) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDepthMask(GL_FALSE);
        glStencilFunc(GL_EQUAL, 1, 1);
        glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
        ring->Bind();
        BindTexture(V.WaterRingTex, 0);
        glBegin(GL_QUADS);
        for (const TWaterRingData& r : V.WaterRings) {
            glColor4f(1.0f, 1.0f, 1.0f, (2.0f - r.R) * 0.1f);
            FlatQuad(r.X, r.Y, r.Z, r.R);
        }
        glEnd();
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, 0);
        ring->Unbind();
        glDisable(GL_BLEND);
        glDepthMask(GL_TRUE);
    }
    glDisable(GL_STENCIL_TEST);
}

void WireBox(const TMyVector3f& a, const TMyVector3f& b) {
    const float xs[2] = {a.x, b.x}, ys[2] = {a.y, b.y}, zs[2] = {a.z, b.z};
    glBegin(GL_LINES);
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j) {
            glVertex3f(xs[0], ys[i], zs[j]);
            glVertex3f(xs[1], ys[i], zs[j]);
            glVertex3f(xs[i], ys[0], zs[j]);
            glVertex3f(xs[i], ys[1], zs[j]);
            glVertex3f(xs[i], ys[j], zs[0]);
            glVertex3f(xs[i], ys[j], zs[1]);
        }
    glEnd();
}

void DrawDebugDisplays(const std::vector<int32_t>& infoOfInstance) {
    for (size_t i = 0; i < V.Instances.size(); ++i) {
        const TModelDrawItem& inst = V.Instances[i];
        if (!inst.ShowOutline && !inst.ShowCollision)
            continue;
        const TResMdlInfo* info = infoOfInstance[i] >= 0 ? &V.ModelInfos[infoOfInstance[i]] : nullptr;
        if (!info || !info->RendData)
            continue;
        const TStoredColideMesh* colide =
            info->ColidData && !info->ColidData->Meshes.empty() ? &info->ColidData->Meshes[0] : nullptr;
        glDisable(GL_DEPTH_TEST);
        glPushMatrix();
        glMultMatrixf(inst.ModelMatrix.m);
        if (inst.ShowOutline) {
            glColor4f(0.9f, 0.9f, 0.0f, 1.0f);
            if (inst.Skinned) {
                if (colide) {
                    glLineWidth(2.0f);
                    glBegin(GL_LINE_LOOP);
                    for (const TMyVector3f& v : colide->Vertices)
                        glVertex3f(v.x, v.y, v.z);
                    glEnd();
                    glLineWidth(1.0f);
                }
            } else {
                glLineWidth(1.0f);
                WireBox(info->RendData->BoxMin, info->RendData->BoxMax);
            }
        }
        if (inst.ShowCollision) {
            if (inst.Skinned) {
                if (colide) {
                    glEnable(GL_BLEND);
                    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
                    glDepthMask(GL_FALSE);
                    glColor4f(0.9f, 0.9f, 0.9f, 0.35f);
                    glBegin(GL_TRIANGLES);
                    int32_t count = static_cast<int32_t>(colide->Vertices.size());
                    for (const TTriangleIndex& t : colide->Triangles) {
                        if (t.A < 0 || t.B < 0 || t.C < 0 || t.A >= count || t.B >= count || t.C >= count)
                            continue;
                        for (int32_t k : {t.A, t.B, t.C})
                            glVertex3f(colide->Vertices[k].x, colide->Vertices[k].y, colide->Vertices[k].z);
                    }
                    glEnd();
                    glDepthMask(GL_TRUE);
                    glDisable(GL_BLEND);
                }
            } else {
                glColor4f(0.9f, 0.9f, 0.9f, 1.0f);
                glLineWidth(2.0f);
                WireBox(info->RendData->BoxMin, info->RendData->BoxMax);
                glLineWidth(1.0f);
            }
        }
        glPopMatrix();
        glEnable(GL_DEPTH_TEST);
    }
}

void DrawRangeRings() {
    TShader* shader = Program(prRangeRing);
    if (V.RangeRings.empty() || !shader || !GetTextureData(V.RangeRingTex))
        return;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_FALSE);
    glDisable(GL_DEPTH_TEST);
    shader->Bind();
    BindTexture(V.RangeRingTex, 0);
    glBegin(GL_QUADS);
    for (const TRangeRingData& r : V.RangeRings) {
        glColor4f(r.Color.R, r.Color.G, r.Color.B, r.Color.A);
        FlatQuad(r.Centre.x, r.Centre.y, r.Centre.z, r.Radius);
    }
    glEnd();
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, 0);
    shader->Unbind();
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
}

void DrawBucket(TMeshBucket bucket, TProgram program, bool skinned, bool fog, bool light, bool shadow) {
    TShader* shader = Program(program);
    if (V.Buckets[bucket].empty() || !shader)
        return;
    if (TShader* glossless = V.Glossless[program].get();
        glossless && std::none_of(V.Buckets[bucket].begin(), V.Buckets[bucket].end(),
                                  [](const TMeshPtr& e) { return MeshOf(e).GlossTexture != -1; }))
        shader = glossless;
    shader->Bind();
    if (light)
        shader->SetVec3("lightPos", V.LightEye);
    if (fog)
        shader->SetTexture("tumMap", V.FogTex);
    if (shadow) {
        shader->SetMatrix("lightMatrix", V.LightMatrix);
        shader->SetFloat("texSize", 1.0f / static_cast<float>(V.ShadowSize));
        shader->SetTexture("shadowMap", V.ShadowDepthTex);
    }
    DrawMeshList(V.Buckets[bucket], shader, skinned, 0);
    shader->Unbind();
}

// The passes are timed one after the other (timer queries do not nest); the
// previous frame's results are read before the next frame issues new ones. The
// frame ended with glFinish, so reading them does not wait.
void BeginPass(TPass pass) {
    if (V.PassTiming)
        glBeginQuery(GL_TIME_ELAPSED, V.PassQueries[pass]);
}

void EndPass() {
    if (V.PassTiming)
        glEndQuery(GL_TIME_ELAPSED);
}

// Each thread's CPU a frame over the block, aggregated by thread name: what a
// software rasteriser's threads cost beside the game's own main thread.
void LogThreadTimes(int32_t frames) {
    std::vector<TThreadCpu> now = ThreadCpuTimes();
    std::vector<std::pair<std::string, double>> used;  // main first, then by name
    for (const TThreadCpu& t : now) {
        double before = 0.0;
        for (const TThreadCpu& b : V.PassThreads)
            if (b.Id == t.Id)
                before = b.Seconds;
        auto at = std::find_if(used.begin(), used.end(), [&](const auto& u) { return u.first == t.Name; });
        if (at == used.end())
            at = used.insert(used.end(), {t.Name, 0.0});
        at->second += t.Seconds - before;
    }
    V.PassThreads = std::move(now);
    std::sort(used.begin(), used.end(), [](const auto& a, const auto& b) {
        return std::pair(a.first != "main", a.first) < std::pair(b.first != "main", b.first);
    });
    std::string line = "Thread CPU (ms a frame, mean of " + std::to_string(frames) + " frames):";
    for (const auto& [name, seconds] : used) {
        char text[96];
        std::snprintf(text, sizeof text, " %s %.2f", name.c_str(), seconds * 1000.0 / frames);
        line += text;
    }
    if (!used.empty())
        LogLine(line);
}

void CollectPassTimes() {
    if (!V.PassTiming || !V.PassQueriesPending)
        return;
    V.PassQueriesPending = false;
    for (int p = 0; p < PassCount; ++p) {
        GLuint64 ns = 0;
        if (epoxy_has_gl_extension("GL_ARB_timer_query") || epoxy_gl_version() >= 33)
            glGetQueryObjectui64v(V.PassQueries[p], GL_QUERY_RESULT, &ns);
        else
            glGetQueryObjectui64vEXT(V.PassQueries[p], GL_QUERY_RESULT, &ns);
        V.PassSums[p] += static_cast<double>(ns) * 1e-6;
    }
    if (++V.PassFrames < TFrameRateMeter::BlockFrames)
        return;
    static const char* const names[PassCount] = {"shadow", "landscape", "water", "models", "overlays"};
    std::string line = "Pass times (ms, mean of " + std::to_string(V.PassFrames) + " frames):";
    for (int p = 0; p < PassCount; ++p) {
        char text[48];
        std::snprintf(text, sizeof text, " %s %.2f", names[p], V.PassSums[p] / V.PassFrames);
        line += text;
        V.PassSums[p] = 0.0;
    }
    V.PassFrames = 0;
    LogLine(line);
    LogThreadTimes(TFrameRateMeter::BlockFrames);
}

}  // namespace

namespace viewer {

void StartPassTiming() {
    const char* want = std::getenv("MYGAME_PASS_TIMES");
    V.PassTiming = false;
    if (want && std::strcmp(want, "1") == 0)
        SetPassTiming(true);
}

void StopPassTiming() {
    if (V.PassQueries[0] && V.Context)
        glDeleteQueries(PassCount, V.PassQueries);
    for (GLuint& q : V.PassQueries)
        q = 0;
    V.PassTiming = false;
    V.PassQueriesPending = false;
}

}  // namespace viewer

bool SetPassTiming(bool on) {
    if (!V.Context || V.Headless)
        return false;
    V.PassQueriesPending = false;
    V.PassFrames = 0;
    for (double& sum : V.PassSums)
        sum = 0.0;
    if (!on) {
        V.PassTiming = false;
        return false;
    }
    if (!epoxy_has_gl_extension("GL_ARB_timer_query") && !epoxy_has_gl_extension("GL_EXT_timer_query") &&
        epoxy_gl_version() < 33) {
        LogLine("Pass times: the driver has no timer queries");
        V.PassTiming = false;
        return false;
    }
    if (!V.PassQueries[0])
        glGenQueries(PassCount, V.PassQueries);
    V.PassThreads = ThreadCpuTimes();
    V.PassTiming = true;
    return true;
}

TMeshBucket ChooseMeshBucket(bool personage, bool fading, const TVBORendMesh& mesh) {
    if (personage) {
        if (fading || mesh.Blended)
            return BucketSkinTranslucent;
        if (mesh.Emissive)
            return BucketSkinEmissive;
        return mesh.BumpTexture == -1 ? BucketSkinPlain : BucketSkinBump;
    }
    if (mesh.Blended)
        return BucketStaticBlended;
    if (mesh.Emissive)
        return BucketStaticEmissive;
    return mesh.BumpTexture == -1 ? BucketStaticPlain : BucketStaticBump;
}

TMatrix4f ShadowLightView(const TMyVector3f& light) {
    TMyVector3f d = light;
    Vec3Normalize(d);
    if (Vec3Dot(d, d) == 0.0f)
        d = TMyVector3f{0.0f, 1.0f, 0.0f};
    TMyVector3f f = Vec3Negate(d);
    TMyVector3f s = Vec3Cross(f, TMyVector3f{1.0f, 0.0f, -1.0f});
    if (Vec3Length(s) < 0.001f)
        s = Vec3Cross(f, TMyVector3f{0.0f, 0.0f, 1.0f});
    Vec3Normalize(s);
    TMyVector3f u = Vec3Cross(s, f);
    TMatrix4f m = IdentityMatrix;
    m.m[0] = s.x, m.m[4] = s.y, m.m[8] = s.z;
    m.m[1] = u.x, m.m[5] = u.y, m.m[9] = u.z;
    m.m[2] = -f.x, m.m[6] = -f.y, m.m[10] = -f.z;
    return m;
}

TMatrix4f FitShadowProjection(const std::array<TMyVector3f, 4>& focus, const TMatrix4f& lightView,
                              int32_t size) {
    TMyVector3f p[4];
    TMyVector3f c{};
    for (int i = 0; i < 4; ++i) {
        p[i] = MatTransformPoint(lightView, focus[i]);
        c = c + p[i];
    }
    c = c * 0.25f;
    float r = 0.0f;
    for (const TMyVector3f& q : p)
        r = std::max(r, Vec3Length(q - c));
    // No focus yet (all points alike): a small box rather than a division by zero.
    if (!(r > 0.0001f) || !std::isfinite(r))
        r = 1.0f;
    float t = r / (static_cast<float>(std::max(size, 2)) / 2.0f);
    c.x -= (c.x / t - std::trunc(c.x / t)) * t;
    c.y -= (c.y / t - std::trunc(c.y / t)) * t;
    // Casters between the light's eye point and the ground (a tree near the map's
    // corner) must not be clipped away: the depth range reaches behind the eye too.
    return Ortho(c.x - r, c.x + r, c.y - r, c.y + r, -1000.0f, 1000.0f);
}

void RenderScene(TCamera* camera, const TMyVector3f& light) {
    if (!RendererActive())
        return;
    CollectPassTimes();
    V.Stats = TFrameStats{};
    V.Stats.Instances = static_cast<int32_t>(V.Instances.size());
    V.Stats.WaterRings = static_cast<int32_t>(V.WaterRings.size());
    V.Stats.RangeRings = static_cast<int32_t>(V.RangeRings.size());
    V.Stats.Landscape = static_cast<bool>(V.Landscape);

    std::vector<int32_t> infoOfInstance;
    FillBuckets(infoOfInstance);
    V.Stats.ModelInfos = static_cast<int32_t>(V.ModelInfos.size());
    for (int b = 0; b < BucketCount; ++b)
        V.Stats.BucketSizes[b] = static_cast<int32_t>(V.Buckets[b].size());

    TMatrix4f view = IdentityMatrix;
    glMatrixMode(GL_PROJECTION);
    if (camera) {
        if (camera->Aspect != V.Aspect)
            camera->SetAspect(V.Aspect);
        view = camera->GetViewMatrix();
        glLoadMatrixf(camera->GetProjectionMatrix().m);
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixf(view.m);
        V.LightEye = MatTransformPoint(view, light);
    } else {
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }

    BeginPass(PassShadow);
    RenderShadowMap(light, camera);
    EndPass();
    TMatrix4f bias = IdentityMatrix;
    bias.m[0] = bias.m[5] = bias.m[10] = 0.5f;
    bias.m[12] = bias.m[13] = bias.m[14] = 0.5f;
    TMatrix4f inverseView = view;
    MatInverseRigid(inverseView);
    V.LightMatrix = MatMultiply(MatMultiply(bias, V.LightProjView), inverseView);

    BeginPass(PassLandscape);
    glDepthMask(GL_TRUE);
    glStencilMask(0xFF);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    DrawGUICover();

    if (V.Landscape) {
        if (TShader* land = Program(prLandTile)) {
            // Each tile is drawn by the program that looks up only what it needs.
            for (int needs = 0; needs <= LandNeedsAll; ++needs) {
                TShader* program = needs < LandNeedsAll ? V.LandVariants[needs].get() : land;
                V.LandPrograms[needs] = program ? program : land;
                if (!program)
                    continue;
                program->Bind();
                program->SetMatrix("lightMatrix", V.LightMatrix);
                program->SetFloat("texSize", 1.0f / static_cast<float>(V.ShadowSize));
                program->SetVec3("lightPos", V.LightEye);
            }
            glActiveTexture(GL_TEXTURE2);
            glBindTexture(GL_TEXTURE_RECTANGLE_ARB, V.FogTex);
            glActiveTexture(GL_TEXTURE3);
            glBindTexture(GL_TEXTURE_2D, V.ShadowDepthTex);
            // The tile atlas may be uploaded inside; an upload borrows the active unit.
            glActiveTexture(GL_TEXTURE0);
            V.Landscape();
            std::fill(std::begin(V.LandPrograms), std::end(V.LandPrograms), nullptr);
            glActiveTexture(GL_TEXTURE3);
            glBindTexture(GL_TEXTURE_2D, 0);
            glActiveTexture(GL_TEXTURE2);
            glBindTexture(GL_TEXTURE_RECTANGLE_ARB, 0);
            glActiveTexture(GL_TEXTURE0);
            land->Unbind();
        }
    }

    EndPass();

    // The landscape goes to the rasteriser now: a software one starts on it while the
    // models and the GUI are still being queued, instead of waiting for the whole frame.
    glFlush();
    BeginPass(PassWater);
    DrawWaterAndRings();
    EndPass();

    BeginPass(PassModels);
    DrawBucket(BucketStaticEmissive, prEmission, false, true, false, false);
    DrawBucket(BucketStaticPlain, prModelSimple, false, true, true, false);
    DrawBucket(BucketStaticBump, prModelBamp, false, true, true, true);
    DrawBucket(BucketSkinPlain, prModelSimpleSkel, true, false, true, false);
    // No pass of their own was ever made for skinned bump-mapped or emissive meshes;
    // a figure must not be left as a bare shadow, so they are drawn like the others.
    DrawBucket(BucketSkinBump, prModelSimpleSkel, true, false, true, false);
    DrawBucket(BucketSkinEmissive, Program(prEmissionSkel) ? prEmissionSkel : prModelSimpleSkel, true, false,
               true, false);

    const std::pair<TMeshBucket, TProgram> translucent[] = {
        {BucketStaticBlended, prBlendObj},
        {BucketSkinTranslucent, prModelSimpleSkel},
    };
    for (const auto& [bucket, program] : translucent) {
        if (V.Buckets[bucket].empty())
            continue;
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDepthMask(GL_FALSE);
        bool skinned = bucket == BucketSkinTranslucent;
        DrawBucket(bucket, program, skinned, !skinned, skinned, false);
        glDisable(GL_BLEND);
        glDepthMask(GL_TRUE);
    }

    EndPass();

    BeginPass(PassOverlays);
    glUseProgram(0);
    DrawDebugDisplays(infoOfInstance);
    DrawRangeRings();
    EndPass();
    V.PassQueriesPending = V.PassTiming;

    ClearQueues();
}
