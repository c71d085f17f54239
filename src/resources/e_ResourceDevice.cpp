#include "resources/e_ResourceDevice.h"

#include <atomic>

namespace {

TNullResourceDevice NullDevice;
std::atomic<TResourceDevice*> Installed{nullptr};

}  // namespace

TResourceDevice& ResourceDevice() {
    TResourceDevice* device = Installed.load(std::memory_order_acquire);
    return device ? *device : NullDevice;
}

void SetResourceDevice(TResourceDevice* device) { Installed.store(device, std::memory_order_release); }
