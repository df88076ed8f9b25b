// The drawing layer's start-up holder.
#include "vstgui/CDrawingStartup.h"

#include <mutex>

namespace VSTGUI {

namespace {
// Bitmaps are made while an instrument is constructed, and hosts construct (and destroy)
// instances on whatever thread they like, so the one holder is counted under a lock.
std::mutex holderLock;
}  // namespace

CDrawingStartup* CDrawingStartup::current = nullptr;

void CDrawingStartup::acquire()
{
    const std::lock_guard<std::mutex> guard(holderLock);
    if (current) {
        current->retain();
    } else {
        current = new CDrawingStartup;
    }
}

void CDrawingStartup::drop()
{
    const std::lock_guard<std::mutex> guard(holderLock);
    if (current) current->release();
}

CDrawingStartup* CDrawingStartup::instance()
{
    const std::lock_guard<std::mutex> guard(holderLock);
    return current;
}

CDrawingStartup::~CDrawingStartup()
{
    current = nullptr;
}

}  // namespace VSTGUI
