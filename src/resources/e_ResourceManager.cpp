#include "resources/e_ResourceManager.h"

#include "app/e_Platform.h"
#include "resources/_TGA2.h"
#include "resources/e_ModelLoader.h"
#include "resources/e_ResourceDevice.h"

#include <mutex>
#include <stdexcept>

// ---------------------------------------------------------------------------------------------
// TResourceList
//
// Readers (the main thread drawing) take the lock shared; growing, storing and counting
// references take it exclusively. The lock is never held while a resource is read from
// disk or uploaded, so a long load does not stall drawing.

TResourceList::~TResourceList() {
    // Destroyed in slot order.
    for (auto& item : Items)
        item.reset();
}

int32_t TResourceList::GetCount() const {
    std::shared_lock guard(Lock);
    return static_cast<int32_t>(Items.size());
}

TResourceEntity* TResourceList::GetItem(int32_t index) const {
    std::shared_lock guard(Lock);
    if (index < 0 || index >= static_cast<int32_t>(Items.size()))
        return nullptr;
    return Items[size_t(index)].get();
}

void TResourceList::SetItem(int32_t index, std::unique_ptr<TResourceEntity> item) {
    std::unique_ptr<TResourceEntity> old;
    {
        std::unique_lock guard(Lock);
        if (index < 0 || index >= static_cast<int32_t>(Items.size()))
            throw std::out_of_range("TResourceList::SetItem: index " + std::to_string(index) +
                                    " outside 0.." + std::to_string(int64_t(Items.size()) - 1));
        old = std::move(Items[size_t(index)]);
        Items[size_t(index)] = std::move(item);
    }
}

void TResourceList::Grow() {
    std::unique_lock guard(Lock);
    Items.emplace_back();
}

int32_t TResourceList::Find(const std::string& name, int32_t addRef) const {
    // RefCount is atomic, so counting a hit does not need the exclusive lock.
    std::shared_lock guard(Lock);
    for (size_t i = 0; i < Items.size(); ++i) {
        if (Items[i] && Items[i]->Name == name) {
            Items[i]->RefCount += addRef;
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

int32_t TResourceList::FreeSlot() {
    std::unique_lock guard(Lock);
    for (size_t i = 0; i < Items.size(); ++i)
        if (!Items[i])
            return static_cast<int32_t>(i);
    Items.emplace_back();
    return static_cast<int32_t>(Items.size() - 1);
}

int32_t TResourceList::Add(std::unique_ptr<TResourceEntity> item) {
    std::unique_lock guard(Lock);
    size_t i = 0;
    while (i < Items.size() && Items[i])
        ++i;
    if (i == Items.size())
        Items.emplace_back();
    Items[i] = std::move(item);
    return static_cast<int32_t>(i);
}

// ---------------------------------------------------------------------------------------------
// Module state

namespace {

TLogProc LogProc = nullptr;
std::string RootDir;
std::string TexturesDir;
std::string ModelsDir;
std::string AnimatesDir;

std::unique_ptr<TResourceList> Models;
std::unique_ptr<TResourceList> Textures;
std::unique_ptr<TResourceList> Animations;

// Serialises whole loads, so that two threads loading the same name cannot both create
// it, and a slot picked for a model cannot be taken by another load before the model is
// stored. Recursive: a model registers its textures and animations while being loaded.
// Readers never take it.
std::recursive_mutex LoadLock;

// Keeps the folder strings empty once the program is finished with them.
struct TFolderCleaner {
    ~TFolderCleaner() {
        RootDir.clear();
        TexturesDir.clear();
        ModelsDir.clear();
        AnimatesDir.clear();
    }
} FolderCleaner;

void WriteLog(const std::string& text) {
    if (LogProc)
        LogProc(text);
}

std::string FileNameOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool HasFolder(const std::string& path) { return path.find('/') != std::string::npos; }

std::string ExtensionOf(const std::string& path) {
    std::string name = FileNameOf(path);
    auto dot = name.find_last_of('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

// The last four characters, upper-cased: ".TGA", ".PAM", ...
std::string TypeOf(const std::string& name) {
    return ToUpperAscii(name.size() >= 4 ? name.substr(name.size() - 4) : name);
}

// Where a model's textures live: the textures folder under the game's folder, or the
// model's own folder when no textures folder is configured.
std::string ModelTextureFolder(const std::string& modelName) {
    if (TexturesDir.empty())
        return modelName.substr(0, modelName.size() - FileNameOf(modelName).size());
    if (TexturesDir.front() == '/')
        return TexturesDir;
    return RootDir + TexturesDir;
}

// Steps shared by LoadTexture and PreloadTexture: "" when the name has no file part.
std::string TextureFullName(std::string name) {
    name = NormalizeSlashes(std::move(name));
    if (FileNameOf(name).empty())
        return {};
    if (ExtensionOf(name).empty())
        name += ".TGA";
    if (!HasFolder(name))
        name = RootDir + TexturesDir + name;
    return name;
}

template <class T>
T* ItemOf(const std::unique_ptr<TResourceList>& list, int32_t handle) {
    if (!list)
        return nullptr;
    return static_cast<T*>(list->GetItem(handle));
}

std::unique_ptr<TResourceModel> CreateModel(const std::string& name) {
    WriteLog("CreateModel: \"" + name + "\" ...");
    if (!FileExistsNoCase(name)) {
        ResourceMessage("File \"" + name + "\" not found");
        return nullptr;
    }
    const std::string type = TypeOf(name);
    std::unique_ptr<TMemoryStream> stream;
    bool skinned = false;
    if (type == ".ASE" || type == ".3DS") {
        stream = type == ".ASE" ? ReadASE(name) : Read3DS(name);
    } else if (type == ".PRM" || type == ".PAM") {
        stream = std::make_unique<TMemoryStream>();
        if (!stream->LoadFromFile(name))
            stream.reset();
        skinned = type == ".PAM";
    } else {
        ResourceMessage("File \"" + name + "\" unknown type");
        return nullptr;
    }
    if (!stream) {
        ResourceMessage("Файл \"" + name + "\" поврежден. Загрузка невозможна.");
        return nullptr;
    }
    std::unique_ptr<TResourceModel> model;
    try {
        model = std::make_unique<TResourceModel>(name, ModelTextureFolder(name), *stream, skinned);
    } catch (const TStreamReadError& e) {
        throw TStreamReadError("model \"" + name + "\" is damaged: " + e.what());
    }
    WriteLog("CreateModel: \"" + name + "\" - complete.");
    return model;
}

std::unique_ptr<TResourceTexture> CreateTexture(const std::string& name, bool mipmaps) {
    WriteLog("CreateTexture: \"" + name + "\" ...");
    if (!FileExistsNoCase(name)) {
        WriteLog("error: file \"" + name + "\" not found");
        return nullptr;
    }
    const std::string type = TypeOf(name);
    std::unique_ptr<TMemoryStream> stream;
    if (type == ".TGA")
        stream = LoadTGATexture(name);
    else if (type == ".BMP")
        stream = LoadBMPTexture(name);
    else {
        ResourceMessage("File \"" + name + "\" unknown type");
        return nullptr;
    }
    if (!stream) {
        ResourceMessage("Файл \"" + name + "\" поврежден. Загрузка невозможна.");
        return nullptr;
    }
    std::unique_ptr<TResourceTexture> texture;
    try {
        texture = std::make_unique<TResourceTexture>(name, mipmaps, *stream);
    } catch (const TStreamReadError& e) {
        throw TStreamReadError("texture \"" + name + "\" is damaged: " + e.what());
    }
    WriteLog("CreateTexture: \"" + name + "\" - complete.");
    return texture;
}

// LoadTexture and PreloadTexture differ only in the reference they count.
int32_t RegisterTexture(const std::string& name, bool mipmaps, int32_t addRef) {
    if (!Textures)
        return -1;
    int32_t handle = Textures->Find(name, addRef);
    if (handle >= 0)
        return handle;
    std::lock_guard load(LoadLock);
    handle = Textures->Find(name, addRef);
    if (handle >= 0)
        return handle;
    auto texture = CreateTexture(name, mipmaps);
    if (!texture)
        return -1;
    texture->RefCount = addRef;
    return Textures->Add(std::move(texture));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Module functions

void InitResourceSystem(TLogProc logProc, std::string rootDir, std::string texturesDir, std::string modelsDir,
                        std::string animatesDir) {
    LogProc = logProc;
    RootDir = NormalizeSlashes(std::move(rootDir));
    TexturesDir = NormalizeSlashes(std::move(texturesDir));
    ModelsDir = NormalizeSlashes(std::move(modelsDir));
    AnimatesDir = NormalizeSlashes(std::move(animatesDir));
    Models = std::make_unique<TResourceList>();
    Textures = std::make_unique<TResourceList>();
    Animations = std::make_unique<TResourceList>();
    WriteLog("Resource System Init - complete.");
}

void FreeResourceSystem() {
    Models.reset();
    Textures.reset();
    Animations.reset();
}

int32_t LoadModel(std::string name) {
    name = NormalizeSlashes(std::move(name));
    if (FileNameOf(name).empty() || !Models)
        return -1;
    const std::string ext = ExtensionOf(name);
    if (ext.empty())
        name += ".PRM";
    if (!HasFolder(name))
        name = RootDir + (ext == ".PAM" ? AnimatesDir : ModelsDir) + name;

    int32_t handle = Models->Find(name, 1);
    if (handle >= 0)
        return handle;
    std::lock_guard load(LoadLock);
    handle = Models->Find(name, 1);
    if (handle >= 0)
        return handle;
    // The slot is taken before loading: a model that fails leaves it empty for the next one.
    const int32_t slot = Models->FreeSlot();
    auto model = CreateModel(name);
    if (!model)
        return -1;
    model->RefCount = 1;
    Models->SetItem(slot, std::move(model));
    return slot;
}

int32_t LoadTexture(std::string name, bool mipmaps) {
    name = TextureFullName(std::move(name));
    if (name.empty())
        return -1;
    return RegisterTexture(name, mipmaps, 1);
}

void PreloadTexture(std::string name, bool mipmaps) {
    name = TextureFullName(std::move(name));
    if (!name.empty())
        RegisterTexture(name, mipmaps, 0);
}

void BindTexture(int32_t handle, int32_t unit) {
    if (unit < 0 || unit > 7)
        throw std::out_of_range("BindTexture: texture unit " + std::to_string(unit) + " outside 0..7");
    auto* texture = ItemOf<TResourceTexture>(Textures, handle);
    if (!texture)
        throw std::out_of_range("BindTexture: no texture with handle " + std::to_string(handle));
    TResourceDevice& device = ResourceDevice();
    device.SelectTextureUnit(unit);
    if (!texture->Uploaded)
        texture->Upload();
    device.BindTexture(texture->GLName);
}

const TStoredColidData* GetModelColidData(int32_t handle) {
    auto* model = ItemOf<TResourceModel>(Models, handle);
    return model ? &model->ColidData : nullptr;
}

const TStoredRendData* GetModelRendData(int32_t handle) {
    auto* model = ItemOf<TResourceModel>(Models, handle);
    return model ? &model->RendData : nullptr;
}

const TVBORendData* GetModelVBOData(int32_t handle) {
    auto* model = ItemOf<TResourceModel>(Models, handle);
    if (!model)
        return nullptr;
    if (!model->Uploaded)
        model->Upload();
    return &model->VBOData;
}

const TStoredTextureData* GetTextureData(int32_t handle) {
    auto* texture = ItemOf<TResourceTexture>(Textures, handle);
    return texture ? &texture->Data : nullptr;
}

const TStoredSkeletData* GetSkeletData(int32_t handle) {
    auto* animation = ItemOf<TSkeletalAnimation>(Animations, handle);
    return animation ? &animation->Data : nullptr;
}

std::string GetAnimationName(int32_t handle) {
    auto* animation = ItemOf<TSkeletalAnimation>(Animations, handle);
    return animation ? animation->Name : std::string();
}

int32_t AddAnimation(std::unique_ptr<TSkeletalAnimation> animation) {
    if (!animation)
        throw std::invalid_argument("AddAnimation: no animation");
    if (!Animations)
        throw std::logic_error("AddAnimation: the resource system is not running");
    std::lock_guard load(LoadLock);
    animation->RefCount = 1;
    return Animations->Add(std::move(animation));
}

TResourceList* ModelList() { return Models.get(); }
TResourceList* TextureList() { return Textures.get(); }
TResourceList* AnimationList() { return Animations.get(); }

void ResourceMessage(const std::string& text) { ShowProgramMessage(text); }
