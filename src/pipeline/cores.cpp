#include "pipeline/cores.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

std::size_t UsableCores()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) return static_cast<std::size_t>(std::max(1, CPU_COUNT(&set)));
    return std::max(1u, std::thread::hardware_concurrency());
}

std::size_t WorkThreads(std::size_t requested)
{
    return requested > 0 ? requested : UsableCores();
}

std::uint64_t PhysicalMemoryBytes()
{
    return static_cast<std::uint64_t>(::sysconf(_SC_PHYS_PAGES)) * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}
