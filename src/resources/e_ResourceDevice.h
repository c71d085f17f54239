#pragma once
// The graphics side of the resources: what a texture or a buffer becomes on the card. The
// resources keep pixels and vertices and an opaque name per object; the renderer installs
// the device that makes, binds and deletes the objects behind those names while it runs.
// Without it (headless runs, tools, tests of loading) the null device makes nothing: every
// name stays 0 and binding does nothing, so loading and the simulation never need a GL
// context.
//
// Calls come from the thread that owns the context, as drawing does.

#include "resources/e_ResManagerTypes.h"

#include <cstddef>
#include <cstdint>

enum class TBufferKind : int32_t {
    Vertices,  // an array of vertex records
    Indices,   // 32-bit vertex indices of triangles
};

class TResourceDevice {
public:
    virtual ~TResourceDevice() = default;

    // A texture from decoded pixels (with a mipmap chain when asked); its name. The binding
    // of the active unit is left as it was.
    virtual uint32_t CreateTexture(const TStoredTextureData& data, bool mipmaps) = 0;
    // Deletes a texture; a name that is none is ignored.
    virtual void DeleteTexture(uint32_t name) = 0;
    // Makes texture unit 0..7 the active one.
    virtual void SelectTextureUnit(int32_t unit) = 0;
    // Binds the texture to the active unit.
    virtual void BindTexture(uint32_t name) = 0;
    // A static buffer holding `bytes` bytes of `data`; its name. Nothing is left bound.
    virtual uint32_t CreateBuffer(TBufferKind kind, const void* data, size_t bytes) = 0;
    // Deletes a buffer; a name that is none is ignored.
    virtual void DeleteBuffer(uint32_t name) = 0;
};

// Makes nothing and binds nothing.
class TNullResourceDevice : public TResourceDevice {
public:
    uint32_t CreateTexture(const TStoredTextureData&, bool) override { return 0; }
    void DeleteTexture(uint32_t) override {}
    void SelectTextureUnit(int32_t) override {}
    void BindTexture(uint32_t) override {}
    uint32_t CreateBuffer(TBufferKind, const void*, size_t) override { return 0; }
    void DeleteBuffer(uint32_t) override {}
};

// The device in use: the installed one, else the null device.
TResourceDevice& ResourceDevice();
// Installs a device (null puts the null device back). It must outlive its use.
void SetResourceDevice(TResourceDevice* device);
