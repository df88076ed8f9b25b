// The drawing layer's start-up holder.
#include "vstgui/CDrawingStartup.h"

namespace VSTGUI {

CDrawingStartup* CDrawingStartup::current = nullptr;

void CDrawingStartup::acquire()
{
    if (current) {
        current->retain();
    } else {
        current = new CDrawingStartup;
    }
}

void CDrawingStartup::drop()
{
    if (current) current->release();
}

CDrawingStartup::~CDrawingStartup()
{
    current = nullptr;
}

}  // namespace VSTGUI
