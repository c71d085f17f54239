#include "app/e_SceneObject.h"

#include "app/e_CameraObject.h"
#include "app/e_GUiObject.h"
#include "render/my_Viewer.h"
#include "sound/e_SoundPlayer.h"

TSceneObject::TSceneObject() = default;

TSceneObject::~TSceneObject() {
    if (MusicStarted)
        PauseMusic();
    // Freed in the order they were added, not in reverse as the vector would.
    for (auto& object : Objects)
        object.reset();
    Objects.clear();
}

void TSceneObject::Update(double dt) {
    Time += dt;
    if (GUI)
        GUI->Update(dt);
}

void TSceneObject::Draw() {
    QueueGUICover(GUI);
    RenderScene(Camera, LightPos);
    DrawGUI(GUI);
}

void TSceneObject::SetPaused(bool flag) {
    if (flag == Paused)
        return;
    Paused = flag;
    if (flag)
        PauseMusic();
    else
        ResumeMusic();
}
