#pragma once
// A translucent water surface: a coloured triangle mesh in world coordinates, read from a water
// section of the map file. Triangles marked hidden are dropped and make their corners transparent,
// so the water fades out toward the shore. The renderer puts the mesh into two buffer objects on its
// first draw.

#include <cstdint>
#include <vector>

#include "world/LandshaftObject.h"
#include "world/e_Math.h"

// One triangle of a water section as stored: three vertex indices and whether it is shown.
struct TWaterTriangleRecord {
    uint32_t A = 0, B = 0, C = 0;
    uint8_t Shown = 1;
};

// A water section as stored in the map file.
struct TWaterSection {
    std::vector<TMyVector3f> Vertices;  // world coordinates
    std::vector<TWaterTriangleRecord> Triangles;
};

// Reads one water section. Counts that run past the stream and vertex indices at or above the
// vertex count throw EMapFileError naming the file.
TWaterSection ReadWaterSection(TMapStream& stream);
// Writes the section with its counts taken from the sizes of its arrays.
void WriteWaterSection(TMapWriter& out, const TWaterSection& section);

class TWaterObject {
public:
    // One vertex of the buffer: world position, then colour (28 bytes).
    struct TVertex {
        float x = 0.0f, y = 0.0f, z = 0.0f;
        float r = 0.0f, g = 0.0f, b = 0.0f, a = 0.0f;
    };
    struct TTriangle {
        uint32_t A = 0, B = 0, C = 0;
    };
    static_assert(sizeof(TVertex) == 28, "the water buffer stride is 28 bytes");
    static_assert(sizeof(TTriangle) == 12, "three 32-bit indices per triangle");

    TWaterObject() = default;
    ~TWaterObject();
    TWaterObject(const TWaterObject&) = delete;
    TWaterObject& operator=(const TWaterObject&) = delete;

    // Reads one water section and gives every vertex the colour (r, g, b, a in x, y, z, w).
    // Throws EMapFileError for a damaged section.
    void Create(TMapStream& stream, const TMyVector4f& colour);
    // Builds the surface from a section already read and checked.
    void Build(const TWaterSection& section, const TMyVector4f& colour);
    // Deletes the buffers when they exist (through the resource device) and frees the arrays.
    void Destroy();

    std::vector<TVertex> Vertices;
    int32_t VertexCount = 0;
    std::vector<TTriangle> Triangles;
    int32_t TriangleCount = 0;  // shown triangles, the ones drawn
    // Box of the vertices that are not transparent; empty (min +inf, max -inf) when all are.
    TMyVector3f BoxMin{PlusInfinity, PlusInfinity, PlusInfinity};
    TMyVector3f BoxMax{MinusInfinity, MinusInfinity, MinusInfinity};
    // The renderer's buffer objects, made on its first draw.
    uint32_t VertexBuffer = 0;
    uint32_t IndexBuffer = 0;
    bool Uploaded = false;
};
