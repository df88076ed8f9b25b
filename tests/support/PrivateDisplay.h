// An X server of a test's own: Xvfb on a free display number, with a screen large enough for
// a panel at 3x and resources the test sets as xrdb would, so that a test of the desktop's
// scale neither sees nor changes the display other tests share.
#pragma once

#include <string>
#include <sys/types.h>

struct _XDisplay;

namespace paneltest {

class PrivateDisplay
{
public:
    // Starts the server and points DISPLAY at it for this process; ok() tells whether it runs.
    PrivateDisplay(int width = 1800, int height = 800);
    // Points DISPLAY back where it was and ends the server.
    ~PrivateDisplay();
    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;

    bool ok() const { return connection != nullptr; }
    const std::string& error() const { return reason; }
    // Replaces the server's resource database (the root window's RESOURCE_MANAGER), which
    // connections opened from now on read.
    void setResources(const std::string& resources);

private:
    pid_t server = -1;
    _XDisplay* connection = nullptr;
    std::string previousDisplay;
    bool hadDisplay = false;
    std::string reason;
};

}  // namespace paneltest
