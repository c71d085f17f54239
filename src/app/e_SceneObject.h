#pragma once
// A scene is one screen of the program with its own world, camera and GUI.

#include "world/e_Math.h"

#include <memory>
#include <string>
#include <vector>

class TCamera;
class TGUIObject;

class TSceneObject {
public:
    TSceneObject();
    virtual ~TSceneObject();
    TSceneObject(const TSceneObject&) = delete;
    TSceneObject& operator=(const TSceneObject&) = delete;

    virtual void Update(double dt);
    virtual void Draw();
    void SetPaused(bool flag);

    // Takes ownership of `object`; it is freed with the scene, in the order of adding.
    template <class T>
    T* Own(std::unique_ptr<T> object) {
        T* raw = object.release();
        Objects.push_back(OwnedPtr(raw, [](void* p) { delete static_cast<T*>(p); }));
        return raw;
    }

    // A scene that has a battle running reports it for --headless runs: the JSON
    // members "battle_time" and "players" (without braces), or "" for none.
    virtual std::string StatusJson() const { return {}; }

    double Time = 0.0;
    bool Paused = false;
    using OwnedPtr = std::unique_ptr<void, void (*)(void*)>;
    std::vector<OwnedPtr> Objects;
    TCamera* Camera = nullptr;
    TMyVector3f LightPos{0.0f, 0.0f, 0.0f};
    TGUIObject* GUI = nullptr;
    bool MusicStarted = false;
};
