#include "scenes/GameScene.h"

#include "app/e_Log.h"

TGameScene::TGameScene(const std::string& mapPath) {
    Log("++CreateScene: \"" + mapPath + "\" ...");
    Log("++CreateScene: \"" + mapPath + "\" - complete.");
}

TGameScene::~TGameScene() = default;
