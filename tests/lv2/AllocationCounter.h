// Counts what operator new allocates in this process while some work runs, the loaded
// plug-in's allocations included: the test program exports its replacement of operator new,
// so the binaries it loads bind to it.
#pragma once

#include <functional>

namespace allocations {

int countDuring(const std::function<void()>& work);

}  // namespace allocations
