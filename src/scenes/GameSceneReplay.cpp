// Every battle the player plays is recorded as its commands; a replay plays
// them back at the frames and steps they were given, and proves with the
// stored checksums that it is the same battle. See units/BattleReplay.h for
// the file.

#include "scenes/GameScene.h"

#include "app/e_Log.h"
#include "app/e_Platform.h"
#include "app/e_AppServices.h"

#include <ctime>
#include <filesystem>
#include <iostream>

TReplaySettings ReplaySettings;

namespace {

constexpr size_t ReplaysKept = 20;

std::string FileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// "replays/2026-12-09_14-03-59.replay" in the log's folder; a second battle in
// the same second gets "-2" and so on.
std::string NewReplayPath() {
    namespace fs = std::filesystem;
    const fs::path folder = fs::path(LogFolderOrAppPath()) / "replays";
    std::error_code ec;
    fs::create_directories(folder, ec);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
    fs::path path = folder / (std::string(stamp) + ".replay");
    for (int n = 2; fs::exists(path, ec); ++n)
        path = folder / (std::string(stamp) + "-" + std::to_string(n) + ".replay");
    return path.string();
}

void Say(const std::string& text) {
    Log(text);
    std::cerr << "mygame: " << text << "\n";
}

}  // namespace

bool PrepareReplay(const std::string& path, std::string& error) {
    auto replay = std::make_shared<TReplay>();
    if (!ReadReplay(path, *replay, error))
        return false;
    if (replay->Header.GameVersion != GameVersion()) {
        error = "Replay \"" + path + "\" was recorded by version " + replay->Header.GameVersion +
                " of the game; this is version " + GameVersion() + ".";
        return false;
    }
    const std::string map = AppPath + "Data/Maps/" + replay->Header.MapName;
    uint32_t crc = 0;
    if (replay->Header.MapName.find('/') != std::string::npos || !FileCrc32(map, crc)) {
        error = "Replay \"" + path + "\" was recorded on the map \"" + replay->Header.MapName +
                "\", which cannot be read here.";
        return false;
    }
    if (crc != replay->Header.MapCrc) {
        error = "Replay \"" + path + "\" was recorded on another version of the map \"" +
                replay->Header.MapName + "\" (the map has changed since).";
        return false;
    }
    ReplaySettings.Playback = std::move(replay);
    ReplaySettings.PlaybackFile = path;
    ReplaySettings.PlaybackMap = map;
    return true;
}

void TGameScene::StartRecording(uint32_t seed) {
    TReplayHeader header;
    header.GameVersion = GameVersion();
    header.MapName = FileName(MapPath);
    header.Seed = seed;
    if (!FileCrc32(MapPath, header.MapCrc))
        return;
    const bool named = !ReplaySettings.RecordFile.empty();
    const std::string path = named ? ReplaySettings.RecordFile : NewReplayPath();
    Recording_ = std::make_unique<TReplayWriter>(path, header);
    if (!Recording_->Ok()) {
        Log("Replay \"" + path + "\" cannot be written: the battle is not recorded.");
        Recording_.reset();
        return;
    }
    if (!named)
        PruneReplays(std::filesystem::path(path).parent_path().string(), ReplaysKept);
    Battle->Recorder = [this](const TBattleCommand& c) { Recording_->Command(c); };
}

namespace {

// The frames a playback stands before its next battle frame (or after its last).
int64_t StandingDue(const TReplay& replay, int64_t played) {
    return size_t(played) < replay.Frames.size() ? replay.Frames[size_t(played)].StandBefore
                                                 : replay.StandAtEnd;
}

}  // namespace

void TGameScene::StandingFrame() {
    if (Recording_) {
        ++Standing_;
        return;
    }
    if (!Playback_ || Standing_ >= StandingDue(*Playback_, BattleFrames_))
        return;
    ++Standing_;
    const bool over = size_t(BattleFrames_) >= Playback_->Frames.size();
    if (over && Standing_ == Playback_->StandAtEnd && ReplaySettings.QuitAtEnd && AppServices)
        AppServices->RequestQuit(0);
}

bool TGameScene::NextBattleFrame(double& dt) {
    if (!Playback_) {
        if (Recording_) {
            Recording_->Stand(Standing_);
            Standing_ = 0;
            Recording_->BeginFrame(dt);
        }
        return true;
    }
    // The recorded battle stood here (its game menu was open): so does this one.
    if (Standing_ < StandingDue(*Playback_, BattleFrames_)) {
        StandingFrame();
        return false;
    }
    if (size_t(BattleFrames_) >= Playback_->Frames.size()) {
        if (ReplaySettings.QuitAtEnd && AppServices)
            AppServices->RequestQuit(0);
        return false;
    }
    Standing_ = 0;
    dt = Playback_->Frames[size_t(BattleFrames_)].Dt;
    return true;
}

void TGameScene::PlayRecordedCommands(TFrameStep step) {
    if (!Playback_ || size_t(BattleFrames_) >= Playback_->Frames.size())
        return;
    for (const TBattleCommand& c : Playback_->Frames[size_t(BattleFrames_)].Commands)
        if (c.Step == step)
            Battle->Execute(c);
}

void TGameScene::EndBattleFrame() {
    ++BattleFrames_;
    if (Recording_) {
        const bool stored = BattleFrames_ % ReplayChecksumInterval == 0;
        Recording_->EndFrame(BattleFrames_, stored, stored ? Checksum() : 0);
        return;
    }
    if (!Playback_)
        return;
    const TReplayFrame& frame = Playback_->Frames[size_t(BattleFrames_ - 1)];
    const bool last = size_t(BattleFrames_) == Playback_->Frames.size();
    const bool compare = frame.HasChecksum || (last && Playback_->Complete);
    const uint64_t expected = frame.HasChecksum ? frame.Checksum : Playback_->EndChecksum;
    if (compare && Checksum() != expected) {
        Say("Replay diverges at frame " + std::to_string(BattleFrames_));
        if (AppServices)
            AppServices->RequestQuit(3);
        Playback_.reset();
        return;
    }
    if (!last)
        return;
    if (!Playback_->Complete)
        Say("Replay \"" + ReplaySettings.PlaybackFile +
            "\" is cut short: played up to its last whole frame, " + std::to_string(BattleFrames_) + ".");
    else
        Log("Replay \"" + ReplaySettings.PlaybackFile + "\" played to its end, frame " +
            std::to_string(BattleFrames_) + ".");
    if (ReplaySettings.QuitAtEnd && Playback_->StandAtEnd == 0 && AppServices)
        AppServices->RequestQuit(0);
}

void TGameScene::FinishRecording() {
    if (Recording_) {
        Recording_->Stand(Standing_);
        Recording_->Finish(BattleFrames_, Checksum());
    }
    Recording_.reset();
}
