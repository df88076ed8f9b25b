// The replaced global operator new and delete, counting while asked to.
#include "tests/lv2/AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> counting{false};
std::atomic<int> counted{0};

void* allocate(size_t size)
{
    if (counting.load()) counted.fetch_add(1);
    return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

namespace allocations {

int countDuring(const std::function<void()>& work)
{
    counted = 0;
    counting = true;
    work();
    counting = false;
    return counted.load();
}

}  // namespace allocations

void* operator new(size_t size)
{
    if (void* memory = allocate(size)) return memory;
    throw std::bad_alloc();
}
void* operator new[](size_t size)
{
    return operator new(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    return allocate(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept
{
    return allocate(size);
}
void operator delete(void* memory) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, size_t) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory, size_t) noexcept
{
    std::free(memory);
}
