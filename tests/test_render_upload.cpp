// Uploading textures and models to OpenGL at their first use, on an offscreen context.

#include "TestGL.h"
#include "test_resources_support.h"

#include "resources/_TGA2.h"
#include "resources/e_ModelLoader.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>

namespace {

std::vector<uint8_t> TgaFile(uint8_t type, uint16_t w, uint16_t h, uint8_t bits,
                             const std::vector<uint8_t>& px) {
    std::vector<uint8_t> f(18 + px.size(), 0);
    f[2] = type;
    f[12] = uint8_t(w);
    f[13] = uint8_t(w >> 8);
    f[14] = uint8_t(h);
    f[15] = uint8_t(h >> 8);
    f[16] = bits;
    std::copy(px.begin(), px.end(), f.begin() + 18);
    return f;
}

std::vector<uint8_t> Ramp(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t(i * 7 + 3);
    return v;
}

class Upload : public ResourceSystemTest {
protected:
    void SetUp() override {
        if (!TGLContext::Get().context)
            GTEST_SKIP() << "no GL context: " << SDL_GetError();
        ResourceSystemTest::SetUp();
        while (glGetError() != GL_NO_ERROR) {
        }
    }
    void TearDown() override {
        if (!TGLContext::Get().context)
            return;
        ResourceSystemTest::TearDown();  // frees the resources with the context current
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
    std::string Tex(const std::string& name) { return Root + "Data/Textures/" + name; }
    TResourceTexture* Texture(int32_t h) { return static_cast<TResourceTexture*>(TextureList()->GetItem(h)); }
    TResourceModel* Model(int32_t h) { return static_cast<TResourceModel*>(ModelList()->GetItem(h)); }

    static GLint TexParam(GLenum name) {
        GLint v = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, name, &v);
        return v;
    }
    static GLint Integer(GLenum name) {
        GLint v = 0;
        glGetIntegerv(name, &v);
        return v;
    }
};

}  // namespace

TEST_F(Upload, TexturesReachOpenGLAtTheirFirstBind) {
    // 3 pixels of 3 bytes per row: rows that are not a multiple of 4 bytes long.
    WriteBytes(Tex("odd.tga"), TgaFile(2, 3, 2, 24, Ramp(18)));
    WriteBytes(Tex("grey.tga"), TgaFile(3, 5, 3, 8, Ramp(15)));
    int32_t odd = LoadTexture("odd", false);
    int32_t grey = LoadTexture("grey", false);
    ASSERT_GE(odd, 0);
    ASSERT_GE(grey, 0);
    EXPECT_FALSE(Texture(odd)->Uploaded) << "loading never touches OpenGL";

    for (int32_t h : {odd, grey}) {
        const TStoredTextureData& data = *GetTextureData(h);
        BindTexture(h, 2);
        ASSERT_TRUE(Texture(h)->Uploaded);
        const GLuint name = Texture(h)->GLName;
        EXPECT_TRUE(glIsTexture(name));
        EXPECT_EQ(Integer(GL_ACTIVE_TEXTURE), GL_TEXTURE2);
        EXPECT_EQ(Integer(GL_TEXTURE_BINDING_2D), GLint(name));
        EXPECT_EQ(TexParam(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
        EXPECT_EQ(TexParam(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
        EXPECT_EQ(TexParam(GL_TEXTURE_WRAP_S), GL_REPEAT);
        EXPECT_EQ(Integer(GL_UNPACK_ALIGNMENT), 4) << "the unpack alignment is put back";

        std::vector<uint8_t> back(data.Pixels.size() + 16, 0xEE);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, data.Format, GL_UNSIGNED_BYTE, back.data());
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        back.resize(data.Pixels.size());
        EXPECT_EQ(back, data.Pixels) << "texture " << h;

        // A second bind uses the same name; unloading deletes it and the next bind uploads anew.
        BindTexture(h, 0);
        EXPECT_EQ(Texture(h)->GLName, name);
        Texture(h)->Unload();
        EXPECT_FALSE(Texture(h)->Uploaded);
        EXPECT_FALSE(glIsTexture(name));
        BindTexture(h, 0);
        EXPECT_TRUE(Texture(h)->Uploaded);
        EXPECT_TRUE(glIsTexture(Texture(h)->GLName));
    }
    GLint env = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
    EXPECT_EQ(env, GL_MODULATE);
}

TEST_F(Upload, MipmappedTexturesGetTheWholeChain) {
    WriteBytes(Tex("mip.tga"), TgaFile(2, 4, 4, 32, Ramp(64)));
    int32_t h = LoadTexture("mip", true);
    ASSERT_GE(h, 0);
    BindTexture(h, 7);
    EXPECT_EQ(Integer(GL_ACTIVE_TEXTURE), GL_TEXTURE7);
    EXPECT_EQ(TexParam(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(TexParam(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    GLint w1 = 0, w2 = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &w1);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 2, GL_TEXTURE_WIDTH, &w2);
    EXPECT_EQ(w1, 2);
    EXPECT_EQ(w2, 1);
    std::vector<uint8_t> back(64);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, back.data());
    EXPECT_EQ(back, GetTextureData(h)->Pixels);
    glActiveTexture(GL_TEXTURE0);
}

TEST_F(Upload, ModelsBuildOneVertexBufferAndAnIndexBufferPerMesh) {
    WriteBytes(Tex("Hull.tga"), TgaFile(3, 1, 1, 8, {9}));
    WriteBytes(Tex("Hull_2.tga"), TgaFile(3, 1, 1, 8, {9}));
    WriteBytes(Tex("Sail.tga"), TgaFile(3, 1, 1, 8, {9}));
    TModelStreamData data;
    const int counts[2] = {4, 6};
    const char* textures[2] = {"Hull.tga", "Sail.tga"};
    for (int m = 0; m < 2; ++m) {
        TStoredRenderMesh mesh;
        mesh.Name = "part" + std::to_string(m);
        mesh.Material.DiffuseMap = textures[m];
        mesh.Material.Blended = m == 1;
        mesh.Material.SpecPower = 8.0f + float(m);
        for (int v = 0; v < counts[m] * StaticVertexSize; ++v)
            mesh.Vertices.push_back(float(m * 1000 + v));
        for (int t = 0; t + 2 < counts[m]; ++t)
            mesh.Triangles.push_back({t, t + 2, t + 1});
        data.RendData.Meshes.push_back(mesh);
    }
    WriteBytes(Root + "Data/Modeles/Ship.PRM", WriteModelStream(data));
    int32_t h = LoadModel("Ship");
    ASSERT_EQ(h, 0);
    EXPECT_FALSE(Model(h)->Uploaded);
    const int32_t hull = TextureList()->Find(Tex("Hull.tga"));
    const int32_t hull2 = TextureList()->Find(Tex("Hull_2.tga"));
    ASSERT_GE(hull, 0);
    ASSERT_GE(hull2, 0);
    EXPECT_EQ(Texture(hull)->RefCount, 0);

    const TVBORendData* vbo = GetModelVBOData(h);
    ASSERT_NE(vbo, nullptr);
    EXPECT_TRUE(Model(h)->Uploaded);
    ASSERT_EQ(vbo->MeshCount, 2);
    ASSERT_EQ(vbo->Meshes.size(), 2u);
    EXPECT_EQ(vbo->Meshes[0].Textures[0], hull);
    EXPECT_EQ(vbo->Meshes[0].Textures[2], hull2);
    EXPECT_EQ(vbo->Meshes[0].Textures[1], -1);
    EXPECT_EQ(vbo->Meshes[0].BumpTexture, -1);
    EXPECT_EQ(vbo->Meshes[0].GlossTexture, -1);
    EXPECT_EQ(Texture(hull)->RefCount, 1) << "drawing looks the texture up, counting a reference";
    EXPECT_FALSE(Texture(hull)->Uploaded) << "textures upload when bound, not with the model";
    EXPECT_TRUE(vbo->Meshes[1].Blended);
    EXPECT_EQ(vbo->Meshes[1].SpecPower, 9.0f);
    EXPECT_EQ(vbo->Meshes[1].VertCount, 6);
    EXPECT_EQ(vbo->Meshes[1].TriCount, 4);

    // Mesh after mesh in one vertex buffer...
    glBindBuffer(GL_ARRAY_BUFFER, vbo->VertexBuffer);
    GLint size = 0;
    glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
    EXPECT_EQ(size, GLint((4 + 6) * StaticVertexSize * sizeof(float)));
    std::vector<float> verts(size_t(size) / sizeof(float));
    glGetBufferSubData(GL_ARRAY_BUFFER, 0, size, verts.data());
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    EXPECT_EQ(verts[0], 0.0f);
    EXPECT_EQ(verts[4 * StaticVertexSize], 1000.0f);
    EXPECT_EQ(verts.back(), float(1000 + 6 * StaticVertexSize - 1));

    // ...so the second mesh's indices are moved past the first mesh's 4 vertices.
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, vbo->Meshes[1].IndexBuffer);
    std::vector<uint32_t> indices(12);
    glGetBufferSubData(GL_ELEMENT_ARRAY_BUFFER, 0, 48, indices.data());
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    EXPECT_EQ(indices, (std::vector<uint32_t>{4, 6, 5, 5, 7, 6, 6, 8, 7, 7, 9, 8}));

    // Drawing again reuses the buffers; unloading deletes them.
    const GLuint vertexBuffer = vbo->VertexBuffer;
    const GLuint indexBuffer = vbo->Meshes[0].IndexBuffer;
    EXPECT_EQ(GetModelVBOData(h)->VertexBuffer, vertexBuffer);
    Model(h)->Unload();
    EXPECT_FALSE(glIsBuffer(vertexBuffer));
    EXPECT_FALSE(glIsBuffer(indexBuffer));
    EXPECT_TRUE(Model(h)->VBOData.Meshes.empty());

    // Shutting down releases what is uploaded.
    BindTexture(hull, 0);
    const GLuint textureName = Texture(hull)->GLName;
    const GLuint again = GetModelVBOData(h)->VertexBuffer;
    EXPECT_TRUE(glIsBuffer(again));
    FreeResourceSystem();
    EXPECT_FALSE(glIsTexture(textureName));
    EXPECT_FALSE(glIsBuffer(again));
}
