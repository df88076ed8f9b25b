// A private Xvfb for one test process.
#include "tests/support/PrivateDisplay.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>


namespace paneltest {

namespace {

constexpr int kStartTimeoutMs = 10000;

}  // namespace

PrivateDisplay::PrivateDisplay(int width, int height)
{
    if (const char* display = std::getenv("DISPLAY")) {
        hadDisplay = true;
        previousDisplay = display;
    }
    int channel[2];
    if (pipe(channel) != 0) {
        reason = "no pipe for Xvfb";
        return;
    }
    // The server writes the display number it took to the descriptor it is given.
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    const std::string descriptor = std::to_string(channel[1]);
    std::vector<std::string> words = {"Xvfb", "-displayfd", descriptor, "-screen", "0", screen,
                                      "-nolisten", "tcp", "-noreset"};
    std::vector<char*> arguments;
    for (std::string& word : words) arguments.push_back(word.data());
    arguments.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, channel[0]);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int spawned =
        posix_spawnp(&server, "Xvfb", &actions, nullptr, arguments.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(channel[1]);
    if (spawned != 0) {
        server = -1;
        close(channel[0]);
        reason = "cannot start Xvfb";
        return;
    }
    std::string number;
    pollfd ready{channel[0], POLLIN, 0};
    while (number.find('\n') == std::string::npos && poll(&ready, 1, kStartTimeoutMs) > 0) {
        char text[16];
        const ssize_t got = read(channel[0], text, sizeof text);
        if (got <= 0) break;
        number.append(text, static_cast<size_t>(got));
    }
    close(channel[0]);
    if (number.find('\n') == std::string::npos) {
        reason = "Xvfb gave no display number";
        return;
    }
    const std::string name = ":" + number.substr(0, number.find('\n'));
    setenv("DISPLAY", name.c_str(), 1);
    connection = XOpenDisplay(name.c_str());
    if (!connection) reason = "cannot connect to the private display " + name;
}

PrivateDisplay::~PrivateDisplay()
{
    if (connection) XCloseDisplay(connection);
    if (hadDisplay) {
        setenv("DISPLAY", previousDisplay.c_str(), 1);
    } else {
        unsetenv("DISPLAY");
    }
    if (server > 0) {
        kill(server, SIGTERM);
        waitpid(server, nullptr, 0);
    }
}

void PrivateDisplay::setResources(const std::string& resources)
{
    if (!connection) return;
    XChangeProperty(connection, DefaultRootWindow(connection), XA_RESOURCE_MANAGER, XA_STRING, 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(resources.c_str()),
                    static_cast<int>(resources.size()));
    XSync(connection, False);
}

}  // namespace paneltest
