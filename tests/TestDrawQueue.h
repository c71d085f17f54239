#pragma once
// A draw queue that writes down what the world asks of the renderer. It is installed while
// it lives.

#include <array>
#include <cstdint>
#include <vector>

#include "world/e_DrawQueue.h"

class TTestDrawQueue : public TDrawQueue {
public:
    TTestDrawQueue() { SetDrawQueue(this); }
    ~TTestDrawQueue() override { SetDrawQueue(nullptr); }
    TTestDrawQueue(const TTestDrawQueue&) = delete;
    TTestDrawQueue& operator=(const TTestDrawQueue&) = delete;

    void QueueModel(TGameModel& model) override { Models.push_back(&model); }
    void QueueWaterRing(float x, float y, float z, float age, int32_t texture) override {
        Rings.push_back({x, y, z, age, float(texture)});
    }
    void SetLandscape(TLandshaftObject* landscape) override { Landscape = landscape; }
    void SetWater(TGameMap* map) override { Water = map; }
    void LoadingProgress(float progress) override { Progress.push_back(progress); }

    std::vector<TGameModel*> Models;
    std::vector<std::array<float, 5>> Rings;  // x, y, z, age, texture
    TLandshaftObject* Landscape = nullptr;
    TGameMap* Water = nullptr;
    std::vector<float> Progress;
};
