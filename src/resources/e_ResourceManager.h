#pragma once
// The registries of shared models, textures and skeletal animations. Everything else
// refers to a resource by its handle, the index of its slot (-1 = none). Loading a name
// twice gives the same handle; resources live until FreeResourceSystem.
//
// Threads: the loading thread loads while the main thread reads and draws. Every
// function here may be called from either; the registries are guarded by locks, and
// loads are serialised among themselves. OpenGL objects are only made by BindTexture and
// GetModelVBOData, which must run on the thread that owns the GL context.

#include "app/e_Log.h"
#include "resources/e_ResManagerClasses.h"
#include "resources/e_ResManagerTypes.h"

#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <string>
#include <vector>

// A registry: slots that are never removed or reordered, so handles stay valid. A slot
// is empty when a model failed to load into it; the next load reuses it.
class TResourceList {
public:
    TResourceList() = default;
    ~TResourceList();
    TResourceList(const TResourceList&) = delete;
    TResourceList& operator=(const TResourceList&) = delete;

    int32_t GetCount() const;
    // The item, or null for an empty slot or an index outside 0..Count-1.
    TResourceEntity* GetItem(int32_t index) const;
    // Stores item in slot index (destroying what was there). Throws std::out_of_range
    // for an index outside 0..Count-1.
    void SetItem(int32_t index, std::unique_ptr<TResourceEntity> item);
    // Appends one empty slot.
    void Grow();

    // The first slot whose item has exactly this name, or -1; adds `addRef` to its
    // RefCount when found. One lock for the whole scan.
    int32_t Find(const std::string& name, int32_t addRef = 0) const;
    // The first empty slot, growing the list when there is none.
    int32_t FreeSlot();
    // Stores item in the first empty slot and returns that slot.
    int32_t Add(std::unique_ptr<TResourceEntity> item);

private:
    mutable std::shared_mutex Lock;
    std::vector<std::unique_ptr<TResourceEntity>> Items;
};

// Folders are joined as given; the game passes its own folder and "Data/Textures/",
// "Data/Modeles/", "Data/Animates/". Logs "Resource System Init - complete.".
void InitResourceSystem(TLogProc logProc, std::string rootDir, std::string texturesDir, std::string modelsDir,
                        std::string animatesDir);
// Destroys the model, texture and animation registries in that order, and every resource
// in them (releasing the device objects of uploaded ones: call while the renderer runs).
void FreeResourceSystem();
inline void ShutdownResourceSystem() { FreeResourceSystem(); }

// A bare name ("Bowman") gets ".PRM" and the models folder; a bare ".PAM" name the
// animations folder. Returns the handle or -1 (the reason is logged or shown).
int32_t LoadModel(std::string name);
// A bare name gets ".TGA" and the textures folder. Returns the handle or -1.
int32_t LoadTexture(std::string name, bool mipmaps);
// Registers a texture without counting a reference; does nothing when the name is known.
void PreloadTexture(std::string name, bool mipmaps);
// Uploads the texture if needed and binds it to texture unit 0..7, through the resource
// device (nothing happens without one).
// Throws std::out_of_range for a bad unit, a bad handle or an empty slot.
void BindTexture(int32_t handle, int32_t unit);

// Views into a resource, or null for -1, an unknown handle or an empty slot.
// The registry keeps ownership; the data does not change after loading.
const TStoredColidData* GetModelColidData(int32_t handle);
const TStoredRendData* GetModelRendData(int32_t handle);
// Uploads the model's buffers first if needed (GL thread only).
const TVBORendData* GetModelVBOData(int32_t handle);
const TStoredTextureData* GetTextureData(int32_t handle);
const TStoredSkeletData* GetSkeletData(int32_t handle);
// The animation's name (its file path; empty for an embedded one), or "".
std::string GetAnimationName(int32_t handle);
// Takes ownership; RefCount becomes 1. Returns the animation's handle.
int32_t AddAnimation(std::unique_ptr<TSkeletalAnimation> animation);

// The registries themselves, null before InitResourceSystem and after FreeResourceSystem.
TResourceList* ModelList();
TResourceList* TextureList();
TResourceList* AnimationList();

// A "Program Message:" box (logged; not shown in batch or headless runs).
void ResourceMessage(const std::string& text);
