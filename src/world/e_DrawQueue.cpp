#include "world/e_DrawQueue.h"

#include "app/e_AppServices.h"

#include <atomic>

namespace {

TNullDrawQueue NullQueue;
// Read by the loading thread too.
std::atomic<TDrawQueue*> Installed{nullptr};

}  // namespace

void TDrawQueue::LoadingProgress(float progress) {
    if (AppServices)
        AppServices->SetProgress(progress);
}

TDrawQueue& DrawQueue() {
    TDrawQueue* queue = Installed.load(std::memory_order_acquire);
    return queue ? *queue : NullQueue;
}

void SetDrawQueue(TDrawQueue* queue) { Installed.store(queue, std::memory_order_release); }
