#pragma once
// What the world and the units may ask of the renderer, and nothing more: queue a model
// instance or a water ring for this frame, name the landscape and the water to draw, and
// move the loading bar. The renderer installs its implementation while it runs; otherwise
// (headless runs, tools, tests) the null queue takes everything and draws nothing, so no
// caller needs to ask whether anything is being drawn.
//
// Main thread only, except LoadingProgress, which the loading thread calls.

#include <cstdint>

class TGameMap;
class TGameModel;
class TLandshaftObject;

class TDrawQueue {
public:
    virtual ~TDrawQueue() = default;

    // A model instance to draw this frame; it must live until the scene pass.
    virtual void QueueModel(TGameModel& model) = 0;
    // A water ripple at world (x, y, z) of that age, drawn with the texture.
    virtual void QueueWaterRing(float x, float y, float z, float age, int32_t texture) = 0;
    // The landscape to draw this frame; null when its map goes away.
    virtual void SetLandscape(TLandshaftObject* landscape) = 0;
    // The map whose water surfaces are drawn, frame after frame, until replaced; null when
    // the map goes away.
    virtual void SetWater(TGameMap* map) = 0;
    // The loading bar, 0..1. By default it goes to the running program's services.
    virtual void LoadingProgress(float progress);
};

// Takes everything and draws nothing.
class TNullDrawQueue : public TDrawQueue {
public:
    void QueueModel(TGameModel&) override {}
    void QueueWaterRing(float, float, float, float, int32_t) override {}
    void SetLandscape(TLandshaftObject*) override {}
    void SetWater(TGameMap*) override {}
};

// The queue in use: the installed one, else the null queue.
TDrawQueue& DrawQueue();
// Installs a queue (null puts the null queue back). The queue must outlive its use.
void SetDrawQueue(TDrawQueue* queue);
