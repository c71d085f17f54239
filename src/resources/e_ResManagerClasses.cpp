#include "resources/e_ResManagerClasses.h"

#include "app/e_Log.h"
#include "app/e_Platform.h"
#include "resources/_TGA2.h"
#include "resources/e_ModelLoader.h"
#include "resources/e_ResourceDevice.h"
#include "resources/e_ResourceManager.h"

#include <stdexcept>

namespace {

// Folder part of a path, with its trailing "/" ("" for a bare name).
std::string FolderOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The extension with its dot, taken from the file-name part; "" when there is none.
std::string ExtensionOf(const std::string& path) {
    std::string name = FileNameOf(path);
    auto dot = name.find_last_of('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

// Bytes of one animation frame of one bone in a file: position (3 singles), rotation (4).
constexpr uint64_t BoneFrameBytes = 28;

}  // namespace

std::vector<std::string> SkinnedModelClipFiles(const std::string& modelName) {
    // Bowman.PAM takes every Bowman*.PSA beside it.
    const std::string folder = FolderOf(modelName);
    const std::string fileName = FileNameOf(modelName);
    const std::string prefix =
        ToUpperAscii(fileName.substr(0, fileName.size() - ExtensionOf(modelName).size()));
    std::vector<std::string> clips;
    for (const std::string& file : ListFilesWithSuffix(folder, ".PSA"))
        if (ToUpperAscii(file).compare(0, prefix.size(), prefix) == 0)
            clips.push_back(folder + file);
    return clips;
}

// ---------------------------------------------------------------------------------------------

TResourceEntity::TResourceEntity(std::string name) : Name(std::move(name)) {}

TResourceEntity::~TResourceEntity() = default;

// ---------------------------------------------------------------------------------------------

TResourceTexture::TResourceTexture(std::string name, bool mipmaps, TMemoryStream& stream)
    : TResourceEntity(std::move(name)), Mipmaps(mipmaps) {
    stream.Seek(0);
    Data.Format = static_cast<uint32_t>(stream.ReadInt32());
    Data.Width = stream.ReadUInt16();
    Data.Height = stream.ReadUInt16();
    int32_t n = stream.ReadInt32();
    // The upload hands Width x Height pixels to OpenGL, so the count has to match exactly.
    const int bpp = TextureFormatBytes(Data.Format);
    if (bpp == 0)
        throw TStreamReadError("texture stream of \"" + Name + "\" has an unknown pixel format " +
                               std::to_string(Data.Format));
    if (n < 0 || uint64_t(n) != uint64_t(Data.Width) * Data.Height * bpp)
        throw TStreamReadError("texture stream of \"" + Name + "\" announces " + std::to_string(n) +
                               " pixel bytes for " + std::to_string(Data.Width) + "x" +
                               std::to_string(Data.Height) + " pixels");
    stream.RequireBytes(uint64_t(n), "the texture's pixels");
    Data.Pixels.resize(size_t(n));
    stream.ReadBuffer(Data.Pixels.data(), Data.Pixels.size());
    Loaded = true;
}

TResourceTexture::~TResourceTexture() { TResourceTexture::Unload(); }

void TResourceTexture::Upload() {
    if (Uploaded)
        Unload();  // a second upload must not leak the first texture
    GLName = ResourceDevice().CreateTexture(Data, Mipmaps);
    Uploaded = true;
}

void TResourceTexture::Unload() {
    if (Uploaded)
        ResourceDevice().DeleteTexture(GLName);
    Uploaded = false;
}

// ---------------------------------------------------------------------------------------------

TSkeletalAnimation::TSkeletalAnimation(std::string name, float scale, TMemoryStream& stream)
    : TResourceEntity(std::move(name)) {
    if (!Name.empty())
        stream.Seek(0);
    Data.BoneCount = stream.ReadInt32();
    Data.FrameCount = stream.ReadInt32();
    Data.FrameRate = stream.ReadInt32();
    if (Data.BoneCount < 0 || Data.FrameCount < 0)
        throw TStreamReadError("animation \"" + Name + "\" has " + std::to_string(Data.BoneCount) +
                               " bones and " + std::to_string(Data.FrameCount) + " frames");
    // A track list is allocated even for clips without frames; bound it by a sane skeleton.
    if (Data.FrameCount == 0 && Data.BoneCount > 65536)
        throw TStreamReadError("animation \"" + Name + "\" has " + std::to_string(Data.BoneCount) + " bones");
    // Compared by division: bones x frames x 28 can pass 64 bits and wrap to a small size.
    const uint64_t left = uint64_t(stream.Remaining());
    if (Data.BoneCount > 0 && uint64_t(Data.FrameCount) > left / BoneFrameBytes / uint64_t(Data.BoneCount))
        throw TStreamReadError("animation \"" + Name + "\" has " + std::to_string(Data.BoneCount) +
                               " bones and " + std::to_string(Data.FrameCount) + " frames, more than the " +
                               std::to_string(left) + " bytes left hold");
    stream.RequireBytes(uint64_t(Data.BoneCount) * uint64_t(Data.FrameCount) * BoneFrameBytes,
                        "the animation's frames");
    Data.Frames.resize(size_t(Data.BoneCount));
    for (auto& track : Data.Frames) {
        track.resize(size_t(Data.FrameCount));
        for (auto& frame : track) {
            frame.Position = Vec3Scale(stream.ReadVector3(), scale);
            frame.Rotation.x = stream.ReadSingle();
            frame.Rotation.y = stream.ReadSingle();
            frame.Rotation.z = stream.ReadSingle();
            frame.Rotation.w = stream.ReadSingle();
        }
    }
    Loaded = true;
}

// ---------------------------------------------------------------------------------------------

TResourceModel::TResourceModel(std::string name, const std::string& textureFolder, TMemoryStream& stream,
                               bool skinned)
    : TResourceEntity(std::move(name)) {
    Scale = 1.0f;
    stream.Seek(0);
    TModelStreamData data;
    if (!ReadModelStream(stream, skinned, data))
        FatalProgramMessage("Версия файла \"" + Name + "\" устарела. Загрузка невозможна.");

    Scale = skinned ? data.Scale : 1.0f;
    VertexSize = skinned ? SkinnedVertexSize : StaticVertexSize;
    ColidData = std::move(data.ColidData);
    RendData = std::move(data.RendData);
    if (!skinned)
        RendData.BoneCount = 0;
    RendData.Animations.clear();

    // The stream names textures without a folder; the model keeps them with it and
    // registers each one now, so that drawing later only looks them up.
    for (auto& mesh : RendData.Meshes) {
        TMatTexNames& mat = mesh.Material;
        const std::string diffuse = mat.DiffuseMap;
        mat.DiffuseMap = textureFolder + diffuse;
        PreloadTexture(mat.DiffuseMap, true);
        // Variants are found, not stored: Soldier.tga may come with Soldier_1.tga .. Soldier_7.tga.
        const std::string ext = ExtensionOf(diffuse);
        const std::string stem = diffuse.substr(0, diffuse.size() - ext.size());
        for (int k = 1; k <= 7; ++k) {
            std::string candidate = textureFolder + stem + "_" + std::to_string(k) + ext;
            if (!FileNameOf(diffuse).empty() && FileExistsNoCase(candidate)) {
                mat.VariantMaps[k - 1] = candidate;
                PreloadTexture(candidate, true);
            } else {
                mat.VariantMaps[k - 1].clear();
            }
        }
        mat.BumpMap = textureFolder + mat.BumpMap;
        PreloadTexture(mat.BumpMap, true);
        mat.GlossMap = textureFolder + mat.GlossMap;
        PreloadTexture(mat.GlossMap, true);
    }

    if (skinned) {
        if (stream.GetPosition() < stream.GetSize()) {
            // The clip travels inside the model file; separate files are not looked for.
            auto anim = std::make_unique<TSkeletalAnimation>(std::string(), Scale, stream);
            RendData.Animations.push_back(AddAnimation(std::move(anim)));
        } else {
            for (const std::string& path : SkinnedModelClipFiles(Name)) {
                TMemoryStream animStream;
                if (!animStream.LoadFromFile(path))
                    throw TStreamReadError("animation file \"" + path + "\" cannot be read");
                auto anim = std::make_unique<TSkeletalAnimation>(path, Scale, animStream);
                RendData.Animations.push_back(AddAnimation(std::move(anim)));
            }
        }
    }
    Loaded = true;
}

TResourceModel::~TResourceModel() { TResourceModel::Unload(); }

void TResourceModel::Upload() {
    if (Uploaded)
        Unload();  // a second upload must not leak the first buffers
    VBOData.MeshCount = RendData.MeshCount;
    VBOData.Meshes.assign(RendData.Meshes.size(), TVBORendMesh{});

    size_t totalFloats = 0;
    for (const auto& mesh : RendData.Meshes)
        totalFloats += mesh.Vertices.size();
    std::vector<float> vertices;
    vertices.reserve(totalFloats);

    uint32_t base = 0;
    std::vector<uint32_t> indices;
    for (size_t i = 0; i < RendData.Meshes.size(); ++i) {
        const TStoredRenderMesh& src = RendData.Meshes[i];
        TVBORendMesh& dst = VBOData.Meshes[i];
        vertices.insert(vertices.end(), src.Vertices.begin(), src.Vertices.end());

        // One vertex buffer holds every mesh, so each mesh's indices move past the ones before.
        indices.clear();
        indices.reserve(src.Triangles.size() * 3);
        for (const TTriangleIndex& t : src.Triangles) {
            indices.push_back(uint32_t(t.A) + base);
            indices.push_back(uint32_t(t.B) + base);
            indices.push_back(uint32_t(t.C) + base);
        }

        const TMatTexNames& mat = src.Material;
        dst.Textures[0] = LoadTexture(mat.DiffuseMap, true);
        for (int k = 1; k <= 7; ++k)
            dst.Textures[k] = mat.VariantMaps[k - 1].empty() ? -1 : LoadTexture(mat.VariantMaps[k - 1], true);
        dst.BumpTexture = LoadTexture(mat.BumpMap, true);
        dst.GlossTexture = LoadTexture(mat.GlossMap, true);
        dst.Emissive = mat.Emissive;
        dst.Blended = mat.Blended;
        dst.AlphaTest = mat.AlphaTest;
        dst.AlphaRef = mat.AlphaRef;
        dst.Parallax = mat.Parallax;
        dst.ParallaxScale = mat.ParallaxScale;
        dst.SpecPower = mat.SpecPower;
        dst.VertCount = src.VertCount;
        dst.TriCount = src.TriCount;

        dst.IndexBuffer =
            CreateStaticBuffer(TBufferKind::Indices, indices.data(), indices.size() * sizeof(uint32_t));

        base += uint32_t(src.VertCount);
    }

    VBOData.VertexBuffer =
        CreateStaticBuffer(TBufferKind::Vertices, vertices.data(), vertices.size() * sizeof(float));
    Uploaded = true;
}

uint32_t CreateStaticBuffer(TBufferKind kind, const void* data, size_t bytes) {
    return ResourceDevice().CreateBuffer(kind, data, bytes);
}

void DeleteStaticBuffer(uint32_t& buffer) {
    if (buffer)
        ResourceDevice().DeleteBuffer(buffer);
    buffer = 0;
}

void TResourceModel::Unload() {
    if (Uploaded) {
        ResourceDevice().DeleteBuffer(VBOData.VertexBuffer);
        for (const auto& mesh : VBOData.Meshes)
            ResourceDevice().DeleteBuffer(mesh.IndexBuffer);
    }
    VBOData.Meshes.clear();
    VBOData.VertexBuffer = 0;
    Uploaded = false;
}
