#include "scenes/MainMenuScene.h"

#include "app/e_CameraObject.h"
#include "app/e_Log.h"
#include "app/e_AppServices.h"
#include "gui/MainMenuGUI.h"
#include "render/my_Viewer.h"
#include "resources/e_ModelObject.h"
#include "resources/GameDataNames.h"
#include "sound/e_SoundPlayer.h"

#include <cmath>

namespace {

constexpr float kDeg = 3.14159265358979f / 180.0f;

TMatrix4f Ry(double degrees) { return MatRotationY(static_cast<float>(degrees) * kDeg); }
TMatrix4f Rz(double degrees) { return MatRotationZ(static_cast<float>(degrees) * kDeg); }

}  // namespace

TMainMenuScene::TMainMenuScene() {
    Log("++CreateScene: \"MainMenuScene\" ...");
    auto camera = std::make_unique<TCamera>(60.0, 1.0, 0.5, 5000.0);
    camera->FreeRotation = false;
    Camera = Own(std::move(camera));
    LightPos = TMyVector3f{-300.0f, 400.0f, 1000.0f};
    TitleModel = TryLoadModel(GameNames::TitleModel);
    if (TitleModel)
        TitleModel->ModelMatrix =
            MatMultiply(MatTranslation(0.0f, 0.0f, -10.0f), MatScaling(7.7f, 5.75f, 0.0f));
    KnifeModel1 = TryLoadModel(GameNames::KnifeModel);
    KnifeModel2 = TryLoadModel(GameNames::KnifeModel);
    StandModel = TryLoadModel(GameNames::StandModel);
    if (AppServices)
        AppServices->SetProgress(0.75f);
    PlayMusic(GameNames::MenuMusic);
    SpinAngle = 0.0;
    PlaceOrnament();
    MenuGUI = std::make_unique<TMainMenuGUI>();
    GUI = MenuGUI.get();
    Log("++CreateScene: \"MainMenuScene\" - complete.");
}

TMainMenuScene::~TMainMenuScene() {
    GUI = nullptr;
    MenuGUI.reset();
}

void TMainMenuScene::PlaceOrnament() {
    const TMatrix4f base = MatMultiply(MatTranslation(-1.5f, -0.75f, -5.0f), Ry(SpinAngle));
    if (KnifeModel1)
        KnifeModel1->ModelMatrix =
            MatMultiply(MatMultiply(MatMultiply(base, MatTranslation(-0.4f, 0.0f, -0.04f)), Rz(50)),
                        MatTranslation(-0.15f, 0, 0));
    if (KnifeModel2)
        KnifeModel2->ModelMatrix = MatMultiply(
            MatMultiply(MatMultiply(MatMultiply(base, MatTranslation(0.4f, 0.0f, 0.04f)), Rz(-50)), Ry(180)),
            MatTranslation(-0.15f, 0, 0));
    if (StandModel)
        StandModel->ModelMatrix = MatMultiply(MatMultiply(MatTranslation(-1.5f, -2.0f, -5.0f), Ry(SpinAngle)),
                                              MatScaling(2.5f, 1.0f, 2.5f));
}

void TMainMenuScene::Update(double dt) {
    TSceneObject::Update(dt);
    if (Time > 3.0) {
        SpinAngle += 75.0 * dt;
        if (!MusicStarted) {
            MusicStarted = true;
            ResumeMusic();
        }
    }
    PlaceOrnament();
}

void TMainMenuScene::Draw() {
    if (TitleModel)
        QueueModel(TitleModel.get());
    if (KnifeModel1)
        QueueModel(KnifeModel1.get());
    if (KnifeModel2)
        QueueModel(KnifeModel2.get());
    if (StandModel)
        QueueModel(StandModel.get());
    TSceneObject::Draw();
}
