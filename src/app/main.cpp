// The program: command line, single-instance guard, splash, the window and the
// loop that alternates one update step and one draw step.

#include "app/e_Log.h"
#include "scenes/GameScene.h"
#include "app/e_Platform.h"
#include "app/e_SceneObject.h"
#include "app/my_GameApp.h"
#include "app/my_Input.h"
#include "app/my_Script.h"
#include "app/my_Splash.h"
#include "gui/v_CanvasOpenGL.h"
#include "render/my_Viewer.h"

#include <SDL.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "Usage: mygame [OPTIONS]\n"
    "A real-time tactics battle.\n"
    "\n"
    "  --windowed WxH       a window of that client size instead of full screen\n"
    "  --data DIR           folder holding Data/, Shaders/, Config.ini and InfoLog.txt\n"
    "                       (default: the folder of the executable)\n"
    "  --batch              no message boxes (messages go to stderr and the log),\n"
    "                       no single-instance guard\n"
    "  --headless           no window and no drawing; print a JSON summary at exit\n"
    "  --seed N             seed the random generator with N\n"
    "  --fixed-dt S         every update gets the time step S seconds\n"
    "  --frames N           end normally after N frames in which a scene was updated\n"
    "  --script FILE        replay an input script\n"
    "  --screenshot N:FILE  after drawing frame N, write it as a PNG file (may be repeated)\n"
    "  --map FILE           start a battle on that map right after start-up\n"
    "  --record FILE        write the battle's replay to FILE (default: a new file in\n"
    "                       the replays folder beside InfoLog.txt)\n"
    "  --replay FILE        start straight into a recorded battle and play it back\n"
    "  --help               print this help and exit\n";

[[noreturn]] void UsageError(const std::string& text) {
    std::cerr << "mygame: " << text << "\n(try --help)\n";
    std::exit(2);
}

bool ParseLong(const char* text, long long& out) {
    char* end = nullptr;
    errno = 0;
    out = std::strtoll(text, &end, 10);
    return errno == 0 && end != text && *end == '\0';
}

TAppOptions ParseOptions(int argc, char** argv) {
    TAppOptions o;
    auto value = [&](int& i) -> const char* {
        if (i + 1 >= argc)
            UsageError(std::string(argv[i]) + " needs a value");
        return argv[++i];
    };
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            std::exit(0);
        } else if (a == "--windowed") {
            std::string v = value(i);
            int w = 0, h = 0;
            char extra = 0;
            if (std::sscanf(v.c_str(), "%dx%d%c", &w, &h, &extra) != 2 || w < 64 || h < 64 || w > 16384 ||
                h > 16384)
                UsageError("--windowed wants WxH, for example 1024x768");
            o.Windowed = true;
            o.Width = w;
            o.Height = h;
        } else if (a == "--data") {
            o.DataDir = value(i);
        } else if (a == "--batch") {
            o.Batch = true;
        } else if (a == "--headless") {
            o.Headless = true;
        } else if (a == "--seed") {
            long long n = 0;
            if (!ParseLong(value(i), n) || n < 0 || n > 0xFFFFFFFFLL)
                UsageError("--seed wants a number from 0 to 4294967295");
            o.HasSeed = true;
            o.Seed = static_cast<uint32_t>(n);
        } else if (a == "--fixed-dt") {
            const char* v = value(i);
            char* end = nullptr;
            double s = std::strtod(v, &end);
            if (end == v || *end != '\0' || !(s > 0.0) || s > 10.0)
                UsageError("--fixed-dt wants seconds, for example 0.02");
            o.FixedDt = s;
        } else if (a == "--frames") {
            long long n = 0;
            if (!ParseLong(value(i), n) || n < 0)
                UsageError("--frames wants a count");
            o.Frames = n;
        } else if (a == "--script") {
            o.ScriptFile = value(i);
        } else if (a == "--screenshot") {
            std::string v = value(i);
            auto colon = v.find(':');
            long long n = 0;
            if (colon == std::string::npos || !ParseLong(v.substr(0, colon).c_str(), n) || n < 0 ||
                colon + 1 >= v.size())
                UsageError("--screenshot wants N:FILE, for example 100:shot.png");
            o.Screenshots.push_back({n, v.substr(colon + 1)});
        } else if (a == "--map") {
            o.MapFile = value(i);
        } else if (a == "--record") {
            o.RecordFile = value(i);
        } else if (a == "--replay") {
            o.ReplayFile = value(i);
        } else {
            UsageError("unknown option '" + a + "'");
        }
    }
    return o;
}

std::string ExecutableFolder() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return "./";
    return exe.parent_path().string() + "/";
}

// Holds an advisory lock for the life of the process; a second copy cannot take it.
bool TakeSingleInstanceLock() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string dir = runtime && *runtime ? runtime : "/tmp";
    std::string path = dir + "/_my@Event_";
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return true;  // no place for a lock: do not stand in the player's way
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    return true;  // the descriptor stays open until the process ends
}

// Decodes UTF-8 text input into character messages.
void TextInput(const char* text) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        uint32_t cp = *p;
        int extra = cp >= 0xF0 ? 3 : cp >= 0xE0 ? 2 : cp >= 0xC0 ? 1 : 0;
        if (extra)
            cp &= (0x3F >> extra);
        ++p;
        for (int k = 0; k < extra && (*p & 0xC0) == 0x80; ++k, ++p)
            cp = (cp << 6) | (*p & 0x3F);
        // The key-down of Escape, Enter, Tab and Backspace already gave their character.
        if (cp < 0x10000 && !IsKeyCharacter(cp))
            InputChar(static_cast<uint16_t>(cp));
    }
}

class TShell {
public:
    explicit TShell(const TAppOptions& options) : Options(options) {}

    int Run();

private:
    void HandleEvent(const SDL_Event& ev);
    void ApplyScript(long long frame);
    void Screenshot(const std::string& file);
    void Resize(int width, int height);

    TAppOptions Options;
    SDL_Window* Window = nullptr;
    std::vector<TScriptEvent> Script;
    size_t NextScriptEvent = 0;
    std::vector<std::string> PendingShots;
    bool Quit = false;
};

void TShell::Resize(int width, int height) {
    ScreenRect = TScreenRect{0, 0, width, height};
    if (Window)
        SetViewport(0, 0, width, height);
}

void TShell::HandleEvent(const SDL_Event& ev) {
    switch (ev.type) {
    case SDL_QUIT:
        Quit = true;
        break;
    case SDL_WINDOWEVENT:
        switch (ev.window.event) {
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            Resize(ev.window.data1, ev.window.data2);
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
        case SDL_WINDOWEVENT_RESTORED:
            GameApp->SetActive(true);
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            GameApp->SetActive(false);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            // A windowed game keeps running behind other windows; full
            // screen minimises (SDL's default) and pauses.
            if (!Options.Windowed)
                GameApp->SetActive(false);
            break;
        default:
            break;
        }
        break;
    case SDL_KEYDOWN: {
        int vk = VirtualKeyFromSdl(ev.key.keysym.scancode, ev.key.keysym.sym);
        if (vk >= 0)
            InputKeyDown(vk);
        break;
    }
    case SDL_KEYUP: {
        int vk = VirtualKeyFromSdl(ev.key.keysym.scancode, ev.key.keysym.sym);
        if (vk >= 0)
            InputKeyUp(vk);
        break;
    }
    case SDL_TEXTINPUT:
        TextInput(ev.text.text);
        break;
    case SDL_MOUSEMOTION:
        InputMouseMove(ev.motion.x, ev.motion.y, ev.motion.state & SDL_BUTTON_LMASK,
                       ev.motion.state & SDL_BUTTON_RMASK);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        if (ev.button.button != SDL_BUTTON_LEFT && ev.button.button != SDL_BUTTON_RIGHT)
            break;
        TMouseButton b = ev.button.button == SDL_BUTTON_LEFT ? TMouseButton::Left : TMouseButton::Right;
        if (ev.type == SDL_MOUSEBUTTONUP)
            InputButtonUp(b, ev.button.x, ev.button.y);
        else if (ev.button.clicks == 2)
            InputDoubleClick(b, ev.button.x, ev.button.y);
        else
            InputButtonDown(b, ev.button.x, ev.button.y);
        break;
    }
    default:
        break;
    }
}

// Script events enter through the same input routines as the window's.
void TShell::ApplyScript(long long frame) {
    while (NextScriptEvent < Script.size() && Script[NextScriptEvent].Frame <= frame) {
        const TScriptEvent& ev = Script[NextScriptEvent++];
        TMouseButton b = ev.Right ? TMouseButton::Right : TMouseButton::Left;
        switch (ev.Type) {
        case TScriptEvent::Kind::Move:
            InputMouseMove(ev.X, ev.Y, InputState.LeftButton, InputState.RightButton);
            break;
        case TScriptEvent::Kind::Down:
            InputButtonDown(b, ev.X, ev.Y);
            break;
        case TScriptEvent::Kind::Up:
            InputButtonUp(b, ev.X, ev.Y);
            break;
        case TScriptEvent::Kind::DoubleClick:
            InputDoubleClick(b, ev.X, ev.Y);
            break;
        case TScriptEvent::Kind::KeyDown:
            InputKeyDown(ev.Code);
            break;
        case TScriptEvent::Kind::KeyUp:
            InputKeyUp(ev.Code);
            break;
        case TScriptEvent::Kind::Char:
            InputChar(static_cast<uint16_t>(ev.Code));
            break;
        case TScriptEvent::Kind::Screenshot:
            PendingShots.push_back(ev.File);
            break;
        case TScriptEvent::Kind::Quit:
            Quit = true;
            break;
        }
    }
}

void TShell::Screenshot(const std::string& file) {
    if (!Window) {
        std::cerr << "mygame: no screenshot in a headless run: " << file << "\n";
        return;
    }
    RequestScreenshot(file);
}

int TShell::Run() {
    if (!Options.ScriptFile.empty()) {
        std::string error;
        if (!LoadInputScript(Options.ScriptFile, Script, error)) {
            std::cerr << "mygame: " << error << "\n";
            return 2;
        }
    }
    if (Options.FixedDt > 0.0)
        SetFixedClock(true);

    SetInputHints();
    bool splash = false;
    if (!Options.Headless) {
        if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
            std::cerr << "mygame: cannot open a window: " << SDL_GetError() << "\n";
            return 1;
        }
        splash = StartSplash();
        SetRendererContextAttributes();
        Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN;
        if (!Options.Windowed)
            flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
        Window = SDL_CreateWindow("myGame", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, Options.Width,
                                  Options.Height, flags);
        if (!Window) {
            if (splash)
                StopSplash();
            std::cerr << "mygame: cannot open a window: " << SDL_GetError() << "\n";
            return 1;
        }
        int w = Options.Width, h = Options.Height;
        SDL_GetWindowSize(Window, &w, &h);
        ScreenRect = TScreenRect{0, 0, w, h};
    } else {
        SDL_Init(SDL_INIT_EVENTS);
        ScreenRect = TScreenRect{0, 0, Options.Width, Options.Height};
        SetHeadlessRenderer(true);
        // Picking and the GUI's pointer need the virtual screen even when nothing is drawn.
        SetViewport(0, 0, Options.Width, Options.Height);
        SetCanvasSize(Options.Width, Options.Height);
    }

    try {
        GameApp = new TGameApp(Window, Options);
    } catch (...) {
        if (splash)
            StopSplash();
        throw;
    }
    if (splash)
        StopSplash();
    if (Window) {
        SetViewport(0, 0, ScreenRect.Right, ScreenRect.Bottom);
        SetCaptureProc([](bool capture) { SDL_CaptureMouse(capture ? SDL_TRUE : SDL_FALSE); });
        // The drawn cursor follows the input state, so scripted moves show too.
        SetCursorPosProc([](int32_t& x, int32_t& y) {
            x = InputState.MouseX;
            y = ScreenRect.Bottom - InputState.MouseY;
        });
        SDL_RaiseWindow(Window);
        SDL_StartTextInput();
    }

    bool mapStarted = Options.MapFile.empty();
    while (!Quit && !GameApp->QuitWanted()) {
        SDL_Event ev;
        if (SDL_PollEvent(&ev)) {
            HandleEvent(ev);
            continue;
        }
        if (!GameApp->Active) {
            if (SDL_WaitEventTimeout(&ev, 16))
                HandleEvent(ev);
            continue;
        }
        // Events for the frame about to update a scene go in first.
        long long counted = GameApp->UpdatedFrames();
        bool willUpdate = GameApp->SceneReady() && !GameApp->SwitchPending;
        if (willUpdate)
            ApplyScript(counted);
        if (Quit)
            break;
        GameApp->Frame();
        bool updated = GameApp->UpdatedFrames() > counted;
        if (updated)
            for (const auto& shot : Options.Screenshots)
                if (shot.Frame == counted)
                    PendingShots.push_back(shot.File);
        if (updated)
            for (const auto& file : PendingShots)
                Screenshot(file);
        PendingShots.clear();
        GameApp->Paint();
        // Loading frames leave the clock alone: how many there are depends on
        // the machine, and a scripted run must see the same clock on any.
        if (Options.FixedDt > 0.0 && updated)
            AdvanceFixedClock(Options.FixedDt);
        if (!mapStarted && GameApp->SceneReady()) {
            // Quick start: as the main menu's "New game" would, once the menu exists.
            mapStarted = true;
            GameApp->SwitchScene(Options.MapFile);
        }
        if (Options.Frames >= 0 && GameApp->UpdatedFrames() >= Options.Frames)
            break;
    }

    long long frames = GameApp->UpdatedFrames();
    std::string status = "{\"frames\": " + std::to_string(frames);
    if (TSceneObject* scene = GameApp->CurrentScene())
        if (const std::string battle = scene->StatusJson(); !battle.empty())
            status += ", " + battle;
    status += "}";
    // Windowed runs keep the same summary in the log, so that a scripted run in a
    // window can be compared with a headless one.
    Log("Status: " + status);
    const int exitCode = GameApp->QuitExitCode();
    delete GameApp;
    GameApp = nullptr;
    if (Options.Headless)
        std::cout << status << std::endl;
    if (Window)
        SDL_DestroyWindow(Window);
    SDL_Quit();
    return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
    TAppOptions options = ParseOptions(argc, argv);
    if (!options.Batch && !TakeSingleInstanceLock())
        return 0;

    std::string dir = options.DataDir.empty() ? ExecutableFolder() : options.DataDir;
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    AppPath = dir;
    ChooseUserFolders();

    bool hasDisplay = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    SetMessageBoxesEnabled(!options.Batch && !options.Headless && hasDisplay);

    ReplaySettings.RecordFile = options.RecordFile;
    if (!options.ReplayFile.empty()) {
        std::string error;
        if (!PrepareReplay(options.ReplayFile, error)) {
            std::cerr << "mygame: " << error << "\n";
            return 1;
        }
        options.MapFile = ReplaySettings.PlaybackMap;
        ReplaySettings.QuitAtEnd = options.Headless;
    }

    try {
        TShell shell(options);
        return shell.Run();
    } catch (const std::exception& e) {
        std::cerr << "mygame: " << e.what() << "\n";
        return 1;
    }
}
