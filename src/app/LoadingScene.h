#pragma once
// The screen shown while the next scene is built on the loading thread.

#include "app/e_GUiObject.h"
#include "app/e_SceneObject.h"

#include <memory>

class TGameModel;
class TFramePanel;
class TProgressBar;

class TCurrGUI : public TGUIObject {
public:
    TCurrGUI();
    ~TCurrGUI() override;
    void Update(double dt) override;
    void Draw() override;

    std::unique_ptr<TFramePanel> MainPanel;
    TProgressBar* ProgressBar = nullptr;  // "lProg", a child of MainPanel
};

class TLoadingScene : public TSceneObject {
public:
    TLoadingScene();
    ~TLoadingScene() override;
    void Update(double dt) override;
    void Draw() override;

    std::unique_ptr<TGameModel> LoadingModel;
    std::unique_ptr<TCurrGUI> OwnGUI;
};
