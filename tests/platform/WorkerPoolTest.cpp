#include "core/WorkerPool.h"

#include <atomic>
#include <gtest/gtest.h>

using namespace halvorix;

// Many more tasks than the queue holds, with every bound a copy might use: each task runs once,
// drain() returns only when all have, and a submitter waiting for room is always woken again
// (a queue of one waits until it is empty). The pool is reusable after a drain, as each folder
// tree of a copy reuses it, and destroying it runs what is still queued.
TEST(WorkerPool, RunsEveryTaskOnceWhateverTheBoundDrainWaitsForAllAndTheEndRunsTheRest)
{
    for (const auto &[threads, bound] :
        {std::pair<unsigned, size_t>{1, 1}, {2, 1}, {2, 3}, {2, 128}, {3, 8}}) {
        std::atomic<int> runs{0};
        std::vector<std::atomic<int>> perTask(5000);
        {
            WorkerPool pool(threads, bound);
            for (size_t i = 0; i < perTask.size(); ++i)
                pool.submit([&, i] {
                    perTask[i].fetch_add(1);
                    runs.fetch_add(1);
                });
            pool.drain();
            EXPECT_EQ(runs.load(), 5000) << threads << " threads, bound " << bound;
            for (size_t i = 0; i < perTask.size(); ++i)
                ASSERT_EQ(perTask[i].load(), 1) << "task " << i;
            for (int i = 0; i < 1000; ++i)
                pool.submit([&] { runs.fetch_add(1); });
        }
        EXPECT_EQ(runs.load(), 6000) << threads << " threads, bound " << bound;
    }
}
