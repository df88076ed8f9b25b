// Messages go to a modal box on Windows and to standard error elsewhere, unless a test has
// installed its own sink.
#include "platform/Messages.h"

#include <cstdio>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#endif

namespace platform {

namespace {

MessageSink& sink()
{
    static MessageSink installed;
    return installed;
}

}  // namespace

void showMessage(const char* text, const char* caption)
{
    const char* safeText = text != nullptr ? text : "";
    const char* safeCaption = caption != nullptr ? caption : "";
    if (sink()) {
        sink()(safeText, safeCaption);
#ifdef _WIN32
    } else {
        // No owner window: the box belongs to no host window and stays until answered.
        MessageBoxA(nullptr, safeText, safeCaption, MB_OK);
#else
    } else if (safeCaption[0] != '\0') {
        std::fprintf(stderr, "Lyrevane: %s: %s\n", safeCaption, safeText);
    } else {
        std::fprintf(stderr, "Lyrevane: %s\n", safeText);
#endif
    }
}

void setMessageSink(MessageSink replacement)
{
    sink() = std::move(replacement);
}

}  // namespace platform
