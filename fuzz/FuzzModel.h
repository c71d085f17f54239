#pragma once
// The interchange readers (ASE, 3DS) end in ConvertModel, whose output is read back
// by ReadModelStream like any model file. Whatever the readers accepted must convert
// into a stream that reads without complaint, and both weld modes must agree.

#include "FuzzSupport.h"
#include "resources/e_ModelLoader.h"

namespace fuzz {

inline void SilentModelMessage(const std::string&, const std::string&) {}

inline void ConvertAndCheck(const TLoadModelData& data) {
    auto stream = ConvertModel(data, TWeldMode::Hashed);
    if (!stream)
        return;
    TModelStreamData model;
    try {
        Require(ReadModelStream(*stream, false, model), "converted model has another version");
    } catch (const TStreamReadError& e) {
        std::fprintf(stderr, "fuzz: %s\n", e.what());
        Broken("converted model does not read back");
    }

    // The pairwise weld is quadratic: compare only on small models.
    size_t faces = 0;
    for (const auto& geom : data.Geoms)
        faces += geom.Mesh.Faces.size();
    if (faces <= 2000) {
        auto reference = ConvertModel(data, TWeldMode::Quadratic);
        Require(reference && reference->Bytes() == stream->Bytes(), "hashed and pairwise welds differ");
    }
}

}  // namespace fuzz
