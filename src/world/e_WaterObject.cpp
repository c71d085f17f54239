#include "world/e_WaterObject.h"

#include <algorithm>
#include <string>

#include "app/e_Log.h"
#include "resources/e_ResManagerClasses.h"

TWaterSection ReadWaterSection(TMapStream& stream) {
    TWaterSection s;
    const int32_t vertexCount = stream.ReadInt32("a water vertex count");
    stream.RequireRecords(vertexCount, 12, "the water vertices");
    s.Vertices.resize(size_t(vertexCount));
    for (auto& v : s.Vertices) {
        v.x = stream.ReadSingle("a water vertex");
        v.y = stream.ReadSingle("a water vertex");
        v.z = stream.ReadSingle("a water vertex");
    }
    const int32_t triangleCount = stream.ReadInt32("a water triangle count");
    stream.RequireRecords(triangleCount, 13, "the water triangles");
    s.Triangles.resize(size_t(triangleCount));
    for (size_t i = 0; i < s.Triangles.size(); ++i) {
        auto& t = s.Triangles[i];
        t.A = stream.ReadUInt32("a water triangle");
        t.B = stream.ReadUInt32("a water triangle");
        t.C = stream.ReadUInt32("a water triangle");
        t.Shown = stream.ReadByte("a water triangle");
        const uint32_t worst = std::max({t.A, t.B, t.C});
        if (worst >= uint32_t(vertexCount))
            stream.Fail("water triangle " + std::to_string(i) + " uses vertex " + std::to_string(worst) +
                        " of a surface with " + std::to_string(vertexCount) + " vertices");
    }
    return s;
}

void WriteWaterSection(TMapWriter& out, const TWaterSection& s) {
    out.WriteInt32(static_cast<int32_t>(s.Vertices.size()));
    for (const auto& v : s.Vertices) {
        out.WriteSingle(v.x);
        out.WriteSingle(v.y);
        out.WriteSingle(v.z);
    }
    out.WriteInt32(static_cast<int32_t>(s.Triangles.size()));
    for (const auto& t : s.Triangles) {
        out.WriteUInt32(t.A);
        out.WriteUInt32(t.B);
        out.WriteUInt32(t.C);
        out.WriteByte(t.Shown);
    }
}

TWaterObject::~TWaterObject() { Destroy(); }

void TWaterObject::Create(TMapStream& stream, const TMyVector4f& colour) {
    Log("Water Object Create ...");
    Build(ReadWaterSection(stream), colour);
    Log("Water Object Create - complete.");
}

void TWaterObject::Build(const TWaterSection& section, const TMyVector4f& colour) {
    Destroy();
    VertexCount = static_cast<int32_t>(section.Vertices.size());
    Vertices.resize(section.Vertices.size());
    for (size_t i = 0; i < Vertices.size(); ++i) {
        const TMyVector3f& p = section.Vertices[i];
        Vertices[i] = {p.x, p.y, p.z, colour.x, colour.y, colour.z, colour.w};
    }
    for (const auto& t : section.Triangles) {
        if (t.A >= Vertices.size() || t.B >= Vertices.size() || t.C >= Vertices.size())
            throw EMapFileError("A water triangle uses a vertex the surface does not have.");
        if (t.Shown) {
            Triangles.push_back({t.A, t.B, t.C});
        } else {
            // Hidden triangles lie on the shore: their corners fade the water out.
            Vertices[t.A].a = Vertices[t.B].a = Vertices[t.C].a = 0.0f;
        }
    }
    TriangleCount = static_cast<int32_t>(Triangles.size());
    for (const TVertex& v : Vertices) {
        if (!(v.a > 0.0f))
            continue;
        BoxMin = {std::min(BoxMin.x, v.x), std::min(BoxMin.y, v.y), std::min(BoxMin.z, v.z)};
        BoxMax = {std::max(BoxMax.x, v.x), std::max(BoxMax.y, v.y), std::max(BoxMax.z, v.z)};
    }
    Uploaded = false;
}

void TWaterObject::Destroy() {
    DeleteStaticBuffer(VertexBuffer);
    DeleteStaticBuffer(IndexBuffer);
    Uploaded = false;
    Vertices.clear();
    Triangles.clear();
    VertexCount = TriangleCount = 0;
    BoxMin = {PlusInfinity, PlusInfinity, PlusInfinity};
    BoxMax = {MinusInfinity, MinusInfinity, MinusInfinity};
}
