// The reference-counted root of every shared toolkit object.
#pragma once

#include <cstdint>

namespace VSTGUI {

// Counts are plain integers: every toolkit object lives on the user-interface thread only.
class CBaseObject
{
public:
    CBaseObject() = default;
    CBaseObject(const CBaseObject&) = delete;
    CBaseObject& operator=(const CBaseObject&) = delete;
    virtual ~CBaseObject() = default;

    virtual void release()
    {
        if (--referenceCount == 0) delete this;
    }
    virtual void retain() { ++referenceCount; }
    // Messages are compared by the address of their text: every sender passes the one
    // constant of that message. 1 = handled.
    virtual int32_t notify(CBaseObject* /*sender*/, const char* /*message*/) { return 0; }

    int32_t getNbReference() const { return referenceCount; }

private:
    int32_t referenceCount = 1;
};

}  // namespace VSTGUI
