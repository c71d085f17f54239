// ".ASE" text models, from bytes to the converted model stream.

#include "FuzzModel.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SetModelMessageProc(&fuzz::SilentModelMessage);
    TLoadModelData model;
    if (ReadASEData(std::vector<uint8_t>(data, data + size), model))
        fuzz::ConvertAndCheck(model);
    return 0;
}
