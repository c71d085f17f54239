#pragma once
// The first scene after start-up and the one a battle returns to: a title
// picture, a turning ornament of two knives on a stand, the menu music and the
// main menu.

#include "app/e_SceneObject.h"

#include <memory>

class TGameModel;
class TMainMenuGUI;

class TMainMenuScene : public TSceneObject {
public:
    TMainMenuScene();
    ~TMainMenuScene() override;
    void Update(double dt) override;
    void Draw() override;

    std::unique_ptr<TGameModel> TitleModel;
    std::unique_ptr<TGameModel> KnifeModel1;
    std::unique_ptr<TGameModel> KnifeModel2;
    std::unique_ptr<TGameModel> StandModel;
    double SpinAngle = 0.0;
    std::unique_ptr<TMainMenuGUI> MenuGUI;

private:
    void PlaceOrnament();
};
