#include "app/LoadingScene.h"

#include "app/e_CameraObject.h"
#include "app/e_Log.h"
#include "app/my_GameApp.h"
#include "gui/v_Classes.h"
#include "render/my_Viewer.h"
#include "resources/GameDataNames.h"
#include "resources/e_ModelObject.h"

TCurrGUI::TCurrGUI() {
    MainPanel = std::make_unique<TFramePanel>("Main", nullptr, 0.0f, 0.0f, 1.0f, 1.0f, "",
                                              TColor4f{0.75f, 0.75f, 0.75f, 0.0f});
    new TStaticText("Label", MainPanel.get(), 0.4f, 0.15f, 0.21f, 0.07f, "Loading ...", clTransparent,
                    clTransparent, TColor4f{0.2f, 0.4f, 0.2f, 1.0f});
    ProgressBar = new TProgressBar("lProg", MainPanel.get(), 0.2f, 0.08f, 0.8f, 0.12f,
                                   TColor4f{0.3f, 0.3f, 0.6f, 1.0f}, TColor4f{0.0f, 1.0f, 0.0f, 1.0f});
}

TCurrGUI::~TCurrGUI() = default;

void TCurrGUI::Update(double) {
    if (GameApp)
        ProgressBar->Position = GameApp->GetProgress();
}

void TCurrGUI::Draw() { MainPanel->Draw(); }

TLoadingScene::TLoadingScene() {
    Log("++CreateScene: \"LoadingScene\" ...");
    auto camera = std::make_unique<TCamera>(60.0, 1.0, 0.5, 5000.0);
    camera->FreeRotation = false;
    Camera = Own(std::move(camera));
    LightPos = TMyVector3f{-300.0f, 400.0f, 1000.0f};
    LoadingModel = TryLoadModel(GameNames::LoadingModel);
    if (LoadingModel)
        LoadingModel->ModelMatrix =
            MatMultiply(MatTranslation(0.0f, 0.0f, -10.0f), MatScaling(7.7f, 5.75f, 0.0f));
    OwnGUI = std::make_unique<TCurrGUI>();
    GUI = OwnGUI.get();
    Log("++CreateScene: \"LoadingScene\" - complete.");
}

TLoadingScene::~TLoadingScene() {
    LoadingModel.reset();
    GUI = nullptr;
    OwnGUI.reset();
}

void TLoadingScene::Update(double dt) { TSceneObject::Update(dt); }

void TLoadingScene::Draw() {
    if (LoadingModel)
        QueueModel(LoadingModel.get());
    TSceneObject::Draw();
}
