#include "pipeline/memorybudget.h"

MemoryBudget::Share::Share(MemoryBudget& budget, std::uint64_t bytes) : budget_(budget), bytes_(bytes)
{
    std::unique_lock lock(budget_.mutex_);
    budget_.given_.wait(lock, [&] { return budget_.taken_ == 0 || budget_.taken_ + bytes_ <= budget_.total_; });
    budget_.taken_ += bytes_;
}

MemoryBudget::Share::~Share()
{
    {
        const std::lock_guard lock(budget_.mutex_);
        budget_.taken_ -= bytes_;
    }
    budget_.given_.notify_all();
}
