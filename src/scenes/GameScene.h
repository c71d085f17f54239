#pragma once
// The battle. (Being built: for now it only announces itself.)

#include "app/e_SceneObject.h"

#include <string>

class TGameScene : public TSceneObject {
public:
    explicit TGameScene(const std::string& mapPath);
    ~TGameScene() override;
};
