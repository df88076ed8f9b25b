// What a panel asks of its instrument, whichever plug-in interface joins them: the VST
// editor adapter implements it over the effect, another front end over its own ports.
#pragma once

#include <cstdint>

namespace VSTGUI {

class InstrumentLink
{
public:
    virtual float getParameter(int32_t index) = 0;
    // Sets the parameter as an edit of the user's, which the host records as automation.
    virtual void setParameterAutomated(int32_t index, float value) = 0;
    // A user gesture on the parameter starts and ends.
    virtual void beginEdit(int32_t index) = 0;
    virtual void endEdit(int32_t index) = 0;
    // Lets the host idle while the panel holds the user-interface thread.
    virtual void masterIdle() = 0;
    // Asks the host to make the panel's window width x height device pixels; true when it did.
    virtual bool sizeWindow(int32_t /*width*/, int32_t /*height*/) { return false; }

protected:
    ~InstrumentLink() = default;
};

}  // namespace VSTGUI
