// The still casters' part of the shadow map, kept while the view stands still.
//
// On a software rasteriser the trees' cut-out leaves are the dearest part of the
// shadow pass, and while the camera rests they draw almost the same depth every
// frame: the light's projection is snapped to whole texels, its depth range is
// fixed, and a tree sways by one degree at most. So the still casters are drawn
// into a target of their own, which is copied into each frame's map before the rest
// goes on top. A texel keeps the nearest depth drawn into it, whatever the order.
//
// The copy holds while each caster in it lies within a texel of where it stands now
// (a swaying tree's crown gets there in a few frames); then it is made anew. A still
// caster that comes or moves faster (an arrow in flight) is drawn on top of the copy
// every frame. The copy is made only once the view has been the same for two frames,
// so that scrolling costs no more than it did before.

#include "render/my_ViewerState.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace viewer;

namespace {

struct TFrameCaster {
    TStillCaster Key;
    int32_t Slot = 0;  // index into the solid list, or its size plus an index into the cut-outs
};

TStillCaster CasterOf(const TMeshPtr& e, bool cutOut) {
    const TResMdlInfo& info = V.ModelInfos[e.Info];
    const TVBORendMesh& mesh = info.VBOData->Meshes[e.Mesh];
    TStillCaster c;
    c.VertexBuffer = info.VBOData->VertexBuffer;
    c.IndexBuffer = mesh.IndexBuffer;
    c.TriCount = mesh.TriCount;
    if (cutOut) {
        c.CutOut = mesh.Textures[0];
        c.AlphaRef = mesh.AlphaRef;
    }
    if (info.RendData) {
        c.Boxed = true;
        c.BoxMin = info.RendData->BoxMin;
        c.BoxMax = info.RendData->BoxMax;
    }
    c.Matrix = V.Instances[e.Instance].ModelMatrix;
    return c;
}

// Whether b is a's mesh, placed so that no corner of its box lies farther than `reach`
// from where a's does. How far a point moves between the two placements is convex in
// the point, so no vertex inside the box moves farther than its farthest corner.
bool Near(const TStillCaster& a, const TStillCaster& b, float reach) {
    if (a.VertexBuffer != b.VertexBuffer || a.IndexBuffer != b.IndexBuffer || a.TriCount != b.TriCount ||
        a.CutOut != b.CutOut || std::memcmp(&a.AlphaRef, &b.AlphaRef, sizeof a.AlphaRef) != 0)
        return false;
    if (std::memcmp(a.Matrix.m, b.Matrix.m, sizeof a.Matrix.m) == 0)
        return true;
    if (!a.Boxed)
        return false;
    for (int corner = 0; corner < 8; ++corner) {
        const TMyVector3f p = BoxCorner(a.BoxMin, a.BoxMax, corner);
        // Written so that a broken matrix is never near.
        if (!(Vec3Length(MatTransformPoint(a.Matrix, p) - MatTransformPoint(b.Matrix, p)) <= reach))
            return false;
    }
    return true;
}

// Walks the frame's casters against a list in the same order: `match` for those near
// the next of it, `other` for the rest. With `all`, false unless every one of the
// list was matched; without, up to a few of the list may be passed over for the next
// match (casters that left the queue).
template <class TMatch, class TOther>
bool MatchInOrder(const std::vector<TFrameCaster>& frame, const std::vector<TStillCaster>& list, bool all,
                  float reach, TMatch&& match, TOther&& other) {
    constexpr size_t Lookahead = 16;
    size_t j = 0;
    for (const TFrameCaster& c : frame) {
        const size_t end = std::min(j + (all ? 1 : Lookahead), list.size());
        size_t found = j;
        while (found < end && !Near(list[found], c.Key, reach))
            ++found;
        if (found < end) {
            match(c);
            j = found + 1;
        } else {
            other(c);
        }
    }
    return !all || j == list.size();
}

void Scissor(const TShadowView& view) {
    if (view.Scissored) {
        glEnable(GL_SCISSOR_TEST);
        glScissor(view.Area[0], view.Area[1], view.Area[2], view.Area[3]);
    } else {
        glDisable(GL_SCISSOR_TEST);
    }
}

// Copies the kept target into the bound shadow map: the scissor box, where the map
// already holds the rest of these contents, or else all of it.
void CopyKept(const TShadowView& view) {
    auto& S = V.StillShadow;
    int slot = S.WholeIn[0] == V.ShadowFBO ? 0 : S.WholeIn[1] == V.ShadowFBO ? 1 : -1;
    const bool whole = slot < 0 || S.WholeGeneration[slot] != S.Generation;
    GLint x0 = 0, y0 = 0, x1 = V.ShadowSize, y1 = V.ShadowSize;
    if (!whole && view.Scissored) {
        x0 = view.Area[0], y0 = view.Area[1];
        x1 = x0 + view.Area[2], y1 = y0 + view.Area[3];
    }
    glDisable(GL_SCISSOR_TEST);
    glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, S.FBO);
    glBindFramebufferEXT(GL_DRAW_FRAMEBUFFER_EXT, V.ShadowFBO);
    glBlitFramebufferEXT(x0, y0, x1, y1, x0, y0, x1, y1, GL_DEPTH_BUFFER_BIT, GL_NEAREST);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, V.ShadowFBO);
    if (whole) {
        if (slot < 0)
            slot = S.WholeIn[0] == V.SpareShadow.FBO ? 1 : 0;
        S.WholeIn[slot] = V.ShadowFBO;
        S.WholeGeneration[slot] = S.Generation;
    }
}

}  // namespace

namespace viewer {

void ForgetStillShadow() {
    auto& S = V.StillShadow;
    S.Kept = false;
    S.Casters.clear();
    S.Seen = false;
    S.LastCasters.clear();
    S.WholeIn[0] = S.WholeIn[1] = 0;
}

void DrawStillCasters(const TShadowView& view, const std::vector<TMeshPtr>& solid,
                      const std::vector<TMeshPtr>& cutOut, TCasterDraw draw) {
    auto& S = V.StillShadow;
    static std::vector<TFrameCaster> frame;
    frame.clear();
    for (size_t i = 0; i < solid.size(); ++i)
        frame.push_back({CasterOf(solid[i], false), int32_t(i)});
    for (size_t i = 0; i < cutOut.size(); ++i)
        frame.push_back({CasterOf(cutOut[i], true), int32_t(solid.size() + i)});
    // A texel of the map, in world units.
    const float texel = 2.0f / (std::max(std::fabs(view.Projection[0]), std::fabs(view.Projection[5])) *
                                float(std::max(V.ShadowSize, 1)));

    // The lists to draw into the kept target and on top of the copy, in the frame's order.
    static std::vector<int32_t> keptSlots, extraSlots;
    keptSlots.clear();
    extraSlots.clear();
    auto extra = [](const TFrameCaster& c) { extraSlots.push_back(c.Slot); };
    auto drawSlots = [&](const std::vector<int32_t>& slots) {
        static std::vector<TMeshPtr> someSolid, someCutOut;
        someSolid.clear();
        someCutOut.clear();
        for (int32_t slot : slots)
            if (size_t(slot) < solid.size())
                someSolid.push_back(solid[size_t(slot)]);
            else
                someCutOut.push_back(cutOut[size_t(slot) - solid.size()]);
        draw(someSolid, someCutOut);
        V.Stats.StillCastersDrawn += int32_t(slots.size());
    };

    const bool viewStood = S.Seen && view == S.LastView;
    if (S.FBO && S.Kept && view == S.View &&
        MatchInOrder(
            frame, S.Casters, true, texel, [](const TFrameCaster&) {}, extra)) {
        V.Stats.StillShadow = StillShadowCopied;
        CopyKept(view);
        Scissor(view);
        drawSlots(extraSlots);
    } else if (S.FBO && viewStood) {
        // What moved less than a texel since the frame before goes into the copy.
        extraSlots.clear();
        S.Casters.clear();
        MatchInOrder(
            frame, S.LastCasters, false, texel / 4.0f,
            [&S](const TFrameCaster& c) {
                keptSlots.push_back(c.Slot);
                S.Casters.push_back(c.Key);
            },
            extra);
        V.Stats.StillShadow = StillShadowKept;
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, S.FBO);
        glDisable(GL_SCISSOR_TEST);
        glClear(GL_DEPTH_BUFFER_BIT);
        Scissor(view);
        drawSlots(keptSlots);
        S.Kept = true;
        S.View = view;
        ++S.Generation;
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, V.ShadowFBO);
        CopyKept(view);
        Scissor(view);
        drawSlots(extraSlots);
    } else {
        V.Stats.StillShadow = StillShadowDrawn;
        glDisable(GL_SCISSOR_TEST);
        glClear(GL_DEPTH_BUFFER_BIT);
        for (int slot = 0; slot < 2; ++slot)
            if (S.WholeIn[slot] == V.ShadowFBO)
                S.WholeIn[slot] = 0;
        Scissor(view);
        draw(solid, cutOut);
        V.Stats.StillCastersDrawn += int32_t(solid.size() + cutOut.size());
    }

    S.Seen = true;
    S.LastView = view;
    S.LastCasters.clear();
    for (const TFrameCaster& c : frame)
        S.LastCasters.push_back(c.Key);
}

}  // namespace viewer
