// The modal message (text and caption) the program shows when it cannot load what it needs.
// On Windows it is a modal box, elsewhere one line on standard error; tests capture it
// through a sink on both, so that no test ever waits for a box to be answered.
#pragma once

#include <functional>

namespace platform {

using MessageSink = std::function<void(const char* text, const char* caption)>;

void showMessage(const char* text, const char* caption);

// Routes every later message to sink instead of standard error; an empty sink restores
// standard error. Meant for tests, set while no instrument is being built elsewhere.
void setMessageSink(MessageSink sink);

}  // namespace platform
