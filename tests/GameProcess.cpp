#include "GameProcess.h"

#include <png.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>

extern char** environ;

std::string GameExecutable() { return std::string(MYGAME_BINARY_DIR) + "/mygame"; }

TGameRun RunGame(const std::vector<std::string>& args, const std::vector<std::string>& env,
                 int timeoutSeconds) {
    TGameRun run;
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, err[0]);

    std::string exe = GameExecutable();
    std::vector<char*> argv{exe.data()};
    std::vector<std::string> argsCopy = args;
    for (auto& a : argsCopy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envCopy;
    for (char** e = environ; *e; ++e)
        envCopy.emplace_back(*e);
    for (const auto& e : env)
        envCopy.push_back(e);
    std::vector<char*> envp;
    for (auto& e : envCopy)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    pid_t pid = 0;
    int rc = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    if (rc != 0) {
        close(out[0]);
        close(err[0]);
        return run;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    char buf[4096];
    bool killed = false;
    while (open > 0) {
        int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count());
        if (left <= 0) {
            kill(pid, SIGKILL);
            killed = true;
            break;
        }
        if (poll(fds, 2, left) <= 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            } else {
                (i == 0 ? run.Stdout : run.Stderr).append(buf, static_cast<size_t>(n));
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    for (auto& f : fds)
        if (f.fd >= 0)
            close(f.fd);
    if (killed)
        run.ExitCode = -9;
    else if (WIFEXITED(status))
        run.ExitCode = WEXITSTATUS(status);
    else
        run.ExitCode = -WTERMSIG(status);
    return run;
}

TPicture ReadPng(const std::string& path) {
    TPicture pic;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return pic;
    image.format = PNG_FORMAT_RGBA;
    std::vector<unsigned char> data(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, data.data(), 0, nullptr)) {
        png_image_free(&image);
        return pic;
    }
    pic.Width = static_cast<int>(image.width);
    pic.Height = static_cast<int>(image.height);
    pic.Rgba = std::move(data);
    return pic;
}
