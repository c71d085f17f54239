#include "resources/e_ModelObject.h"

#include "app/e_Platform.h"
#include "resources/e_ResourceManager.h"

#include <algorithm>
#include <cmath>

namespace {

std::string FilePart(const std::string& name) {
    std::string n = NormalizeSlashes(name);
    auto slash = n.find_last_of('/');
    return slash == std::string::npos ? n : n.substr(slash + 1);
}

TMyVector3f UnitAxis(float dx, float dy, float dz, TMyVector3f fallback) {
    TMyVector3f v{dx, dy, dz};
    if (Vec3Length(v) <= 0.0f)
        return fallback;  // a flat model has no extent to normalise along that axis
    Vec3Normalize(v);
    return v;
}

TBoneFrame Blend(const TBoneFrame& a, const TBoneFrame& b, float f) {
    TBoneFrame r;
    r.Position = Vec3Lerp(a.Position, b.Position, f);
    r.Rotation = QuatBlend(a.Rotation, b.Rotation, f);
    return r;
}

}  // namespace

TGameModel::TGameModel(const std::string& fileName) {
    Name = FilePart(fileName);
    if (Name.size() >= 4 && Name[Name.size() - 4] == '.')
        Name.resize(Name.size() - 4);
    ModelHandle = LoadModel(fileName);
    if (ModelHandle == -1)
        throw TModelLoadError("Ошибка. Загрузка данной модели отменена!");
    const TStoredRendData* rend = GetModelRendData(ModelHandle);
    TMyVector3f m = rend ? rend->BoxMin : TMyVector3f{};
    TMyVector3f M = rend ? rend->BoxMax : TMyVector3f{};
    LocalBox.HalfSize[0] = (M.x - m.x) / 2;
    LocalBox.HalfSize[1] = (M.y - m.y) / 2;
    LocalBox.HalfSize[2] = (M.z - m.z) / 2;
    LocalBox.Center =
        TMyVector3f{m.x + LocalBox.HalfSize[0], m.y + LocalBox.HalfSize[1], m.z + LocalBox.HalfSize[2]};
    LocalBox.Axis[0] = UnitAxis(M.x - m.x, 0, 0, TMyVector3f{1, 0, 0});
    LocalBox.Axis[1] = UnitAxis(0, M.y - m.y, 0, TMyVector3f{0, 1, 0});
    LocalBox.Axis[2] = UnitAxis(0, 0, M.z - m.z, TMyVector3f{0, 0, 1});
    const TMyVector3f corners[8] = {{m.x, m.y, m.z}, {M.x, m.y, m.z}, {M.x, M.y, m.z}, {m.x, M.y, m.z},
                                    {m.x, m.y, M.z}, {M.x, m.y, M.z}, {M.x, M.y, M.z}, {m.x, M.y, M.z}};
    std::copy(std::begin(corners), std::end(corners), LocalCorners);
    WorldBox = LocalBox;
    std::copy(std::begin(LocalCorners), std::end(LocalCorners), WorldCorners);
}

std::unique_ptr<TGameModel> TryLoadModel(const std::string& fileName) {
    try {
        return std::make_unique<TGameModel>(fileName);
    } catch (const TModelLoadError&) {
        return nullptr;
    }
}

int32_t ClipRoleFromName(const std::string& clipName) {
    std::string n = ToUpperAscii(FilePart(clipName));
    if (n.find("IDLE") != std::string::npos)
        return crIdle;
    if (n.find("WALK") != std::string::npos)
        return crWalk;
    if (n.find("RUN") != std::string::npos)
        return crRun;
    if (n.find("ATTACK") != std::string::npos)
        return n.find("ATTACK2") != std::string::npos ? crAttack2 : crAttack;
    if (n.find("DEATH") != std::string::npos)
        return crDeath;
    return -1;
}

static std::string WithPamExtension(const std::string& name) {
    std::string file = FilePart(name);
    auto dot = file.find_last_of('.');
    std::string base = name.substr(0, name.size() - (dot == std::string::npos ? 0 : file.size() - dot));
    return base + ".PAM";
}

TGamePersonage::TGamePersonage(const std::string& name, int32_t variant)
    : TGameModel(WithPamExtension(name)), Variant(variant) {
    RendData = GetModelRendData(ModelHandle);
    if (RendData) {
        for (size_t k = 0; k < RendData->Animations.size(); ++k) {
            int32_t role = ClipRoleFromName(GetAnimationName(RendData->Animations[k]));
            if (role >= 0)
                Clips[role] = static_cast<int32_t>(k);
        }
    }
    CurClip = PlayClip = Clips[crIdle];
    BlendStep = 0;
    Pose.assign(RendData ? static_cast<size_t>(std::max(RendData->BoneCount, 0)) : 0, TBoneFrame{});
    if (const TStoredSkeletData* idle = ClipData(PlayClip)) {
        for (size_t b = 0; b < Pose.size() && b < idle->Frames.size(); ++b)
            if (!idle->Frames[b].empty())
                Pose[b] = idle->Frames[b][0];
    }
    Phase = static_cast<float>(RandomFloat());
}

const TStoredSkeletData* TGamePersonage::ClipData(int32_t clip) const {
    if (!RendData || clip < 0 || clip >= static_cast<int32_t>(RendData->Animations.size()))
        return nullptr;
    return GetSkeletData(RendData->Animations[clip]);
}

void TGamePersonage::SetClip(int32_t role) {
    if (role < 0 || role > crDeath)
        return;
    if (Clips[role] >= 0)
        CurClip = Clips[role];
}

void TGamePersonage::Sample(int32_t clip, double t, bool withPhase, std::vector<TBoneFrame>& out) const {
    const TStoredSkeletData* data = ClipData(clip);
    out = Pose;
    if (!data || data->FrameRate <= 0)
        return;
    const int32_t n = data->FrameCount;
    if (n < 3) {
        // No looping range: a still pose on the first frame.
        for (size_t b = 0; b < out.size() && b < data->Frames.size(); ++b)
            if (!data->Frames[b].empty())
                out[b] = data->Frames[b][0];
        return;
    }
    const double d = 1.0 / data->FrameRate;
    double tp = t + (withPhase ? d * Phase * (n - 2) : 0.0);
    if (!std::isfinite(tp) || tp < 0)
        tp = 0;
    // Reduced to one cycle first, so a huge time cannot overflow the frame number.
    const double frames = std::fmod(tp / d, static_cast<double>(n - 2));
    const int32_t i = static_cast<int32_t>(std::floor(frames)) % (n - 2) + 1;
    const int32_t j = (i % (n - 2)) + 1;
    const float f = static_cast<float>(frames - std::floor(frames));
    for (size_t b = 0; b < out.size() && b < data->Frames.size(); ++b) {
        const auto& track = data->Frames[b];
        if (static_cast<int32_t>(track.size()) > std::max(i, j))
            out[b] = Blend(track[i], track[j], f);
    }
}

void TGamePersonage::Animate(double time) {
    if (BlendStep != 0) {
        const float f = static_cast<float>(BlendStep) / 11.0f;
        for (size_t b = 0; b < Pose.size() && b < BlendFrom.size() && b < BlendTo.size(); ++b)
            Pose[b] = Blend(BlendFrom[b], BlendTo[b], f);
        if (++BlendStep == 12) {
            PlayClip = CurClip;
            BlendStep = 0;
        }
    } else {
        Sample(PlayClip, time, true, Pose);
        if (CurClip != PlayClip) {
            BlendFrom = Pose;
            Sample(CurClip, time + (time - LastTime) * 11.0, false, BlendTo);
            BlendStep = 1;
        }
    }
    LastTime = time;
}

void TGamePersonage::PlayOnce(float seconds) {
    const TStoredSkeletData* data = ClipData(CurClip);
    if (!data || data->FrameRate <= 0)
        return;
    // A time that is not a number or beyond the clip counts as after its end.
    const float s = std::isnan(seconds) ? PlusInfinity : std::max(seconds, 0.0f);
    const int32_t n = data->FrameCount;
    const float r = static_cast<float>(data->FrameRate);
    const float x = r * s;
    // Compared before the conversion, so a huge x never becomes a frame number.
    const int32_t k = x < static_cast<float>(n) ? static_cast<int32_t>(x) : n;
    if (k + 2 >= n) {
        Fading = true;
        Alpha = std::isfinite(s) ? std::clamp(1.0f - (s - static_cast<float>(n - 1) / r), 0.0f, 1.0f) : 0.0f;
        return;
    }
    const float f = x - static_cast<float>(k);
    for (size_t b = 0; b < Pose.size() && b < data->Frames.size(); ++b) {
        const auto& track = data->Frames[b];
        if (static_cast<int32_t>(track.size()) > k + 2)
            Pose[b] = Blend(track[k + 1], track[k + 2], f);
    }
}
