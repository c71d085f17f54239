#pragma once
// Model instances: what the world places, moves and draws. A model resource is
// shared through the registry; each instance keeps its own placement, boxes and,
// for skinned figures, its own animation state.

#include "resources/e_ResManagerTypes.h"
#include "world/e_Math.h"

#include <array>
#include <memory>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

class TGameModel {
public:
    // Loads the model through the registry. Throws TModelLoadError when it cannot be loaded.
    explicit TGameModel(const std::string& fileName);
    virtual ~TGameModel() = default;

    std::string Name;
    int32_t ModelHandle = -1;
    bool ShowOutline = false;
    bool ShowCollision = false;
    TMatrix4f ModelMatrix = IdentityMatrix;
    TOrientedBox LocalBox;
    TMyVector3f LocalCorners[8];
    // Kept in world space by the owner, in step with ModelMatrix.
    TOrientedBox WorldBox;
    TMyVector3f WorldCorners[8];
};

class TModelLoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum TClipRole : int32_t {
    crIdle = 0,
    crWalk,
    crRun,
    crAttack,
    crAttack2,
    crDeath
};

class TGamePersonage : public TGameModel {
public:
    TGamePersonage(const std::string& name, int32_t variant);

    // Requests the clip of a role. A role the model has no clip for keeps the current clip.
    void SetClip(int32_t role);
    // Plays looping clips and the blend between them.
    void Animate(double time);
    // Plays the current clip once (death), then fades the body out.
    void PlayOnce(float seconds);
    const std::vector<TBoneFrame>& GetPose() const { return Pose; }

    const TStoredRendData* RendData = nullptr;
    std::array<int32_t, 6> Clips{-1, -1, -1, -1, -1, -1};
    int32_t CurClip = -1;
    int32_t PlayClip = -1;
    std::vector<TBoneFrame> BlendFrom;
    std::vector<TBoneFrame> BlendTo;
    double LastTime = 0.0;
    int32_t BlendStep = 0;
    std::vector<TBoneFrame> Pose;
    float Phase = 0.0f;
    bool UseColor = false;
    TMyVector3f Color{1.0f, 1.0f, 1.0f};
    bool Fading = false;
    float Alpha = 1.0f;
    int32_t Variant = 0;

private:
    // The animation of a clip index, or null when it cannot be played.
    const TStoredSkeletData* ClipData(int32_t clip) const;
    void Sample(int32_t clip, double t, bool withPhase, std::vector<TBoneFrame>& out) const;
};

// For pictures and ornaments the game can do without: the instance, or null when
// the model cannot be loaded (the registry has already reported why).
std::unique_ptr<TGameModel> TryLoadModel(const std::string& fileName);

// The role a clip file name plays, or -1: IDLE, WALK, RUN, ATTACK/ATTACK2, DEATH tested in that order.
int32_t ClipRoleFromName(const std::string& clipName);
