#include "scenes/GameScene.h"

#include "app/e_Log.h"
#include "gui/GameMenuGUI.h"
#include "resources/e_ModelObject.h"
#include "units/PlayerObject.h"
#include "world/MapObject.h"

float CameraDistance = 20.0f;
float CameraPitch = 60.0f;
bool DragMoved = false;

// Interim: the battle is being built; for now it only announces itself.
void TGameScene::THudDeleter::operator()(TGameGUI*) const {}

TGameScene::TGameScene(const std::string& mapPath) : MapPath(mapPath) {
    Log("++CreateScene: \"" + mapPath + "\" ...");
    Log("++CreateScene: \"" + mapPath + "\" - complete.");
}

TGameScene::~TGameScene() = default;

void TGameScene::Update(double dt) { TSceneObject::Update(dt); }
void TGameScene::Draw() { TSceneObject::Draw(); }
std::string TGameScene::StatusJson() const { return {}; }
