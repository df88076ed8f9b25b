// Messages go to standard error unless a test has installed its own sink.
#include "platform/Messages.h"

#include <cstdio>
#include <utility>

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
    } else if (safeCaption[0] != '\0') {
        std::fprintf(stderr, "Lyrevane: %s: %s\n", safeCaption, safeText);
    } else {
        std::fprintf(stderr, "Lyrevane: %s\n", safeText);
    }
}

void setMessageSink(MessageSink replacement)
{
    sink() = std::move(replacement);
}

}  // namespace platform
