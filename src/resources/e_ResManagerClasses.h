#pragma once
// The resources kept by the registries. Each is built in two stages: the constructor
// reads a stream into the stored records (safe on the loading thread, no OpenGL), and
// Upload makes the card's objects from them through the resource device at first use on
// the thread that owns the context. Unload and the destructors release those objects again.

#include "resources/e_ResManagerTypes.h"
#include "resources/e_ResourceDevice.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TResourceEntity {
public:
    explicit TResourceEntity(std::string name);
    virtual ~TResourceEntity();
    TResourceEntity(const TResourceEntity&) = delete;
    TResourceEntity& operator=(const TResourceEntity&) = delete;

    // Creates the OpenGL objects; Unload releases them. Resources without OpenGL objects
    // (animations) keep these empty.
    virtual void Upload() {}
    virtual void Unload() {}

    const std::string Name;  // the path it was loaded from, as the loader built it
    bool Loaded = false;
    bool Uploaded = false;  // touched only on the thread that owns the GL context
    // Successful loads of this name; informational, nothing is freed before shutdown.
    std::atomic<int32_t> RefCount{0};
};

class TResourceTexture : public TResourceEntity {
public:
    // Reads a texture stream (format, width, height, byte count, pixels) from offset 0.
    // Throws TStreamReadError when the stream is short or its numbers do not agree.
    TResourceTexture(std::string name, bool mipmaps, TMemoryStream& stream);
    ~TResourceTexture() override;

    void Upload() override;
    void Unload() override;

    TStoredTextureData Data;
    uint32_t GLName = 0;
    bool Mipmaps = false;
};

class TSkeletalAnimation : public TResourceEntity {
public:
    // An animation in the ".PSA" layout: bone count, frame count, frame rate, then one
    // track of frames per bone. A non-empty name reads from offset 0; an empty name reads
    // from the stream's position (an animation embedded at the end of a model stream).
    // Positions are multiplied by `scale`. Throws TStreamReadError on a short stream.
    TSkeletalAnimation(std::string name, float scale, TMemoryStream& stream);

    TStoredSkeletData Data;
};

class TResourceModel : public TResourceEntity {
public:
    // Reads a model stream (version 200). Textures it names are preloaded into the texture
    // registry, its animations (embedded, or the model's "*.PSA" files) are added to the
    // animation registry. A stream of another version ends the program with a message;
    // a short or inconsistent stream throws TStreamReadError.
    TResourceModel(std::string name, const std::string& textureFolder, TMemoryStream& stream, bool skinned);
    ~TResourceModel() override;

    // Builds one vertex buffer for all meshes and one index buffer per mesh, and looks up
    // the meshes' textures.
    void Upload() override;
    void Unload() override;

    float Scale = 1.0f;
    TStoredColidData ColidData;
    TStoredRendData RendData;
    TVBORendData VBOData;
    int32_t VertexSize = StaticVertexSize;
};

// The clip files a skinned model without an embedded clip takes: every ".PSA" beside it whose
// name starts with the model's (case ignored), in the order the folder lists them.
std::vector<std::string> SkinnedModelClipFiles(const std::string& modelName);

// Makes a static buffer of vertices or indices holding `bytes` bytes of `data` through the
// resource device, and leaves nothing bound. Gives the buffer's name (0 without a device).
uint32_t CreateStaticBuffer(TBufferKind kind, const void* data, size_t bytes);
// Deletes a buffer made by CreateStaticBuffer (none when 0) and sets the name to 0.
void DeleteStaticBuffer(uint32_t& buffer);
