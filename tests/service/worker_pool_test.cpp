// The pool's bound is what turns clients away, so a place must be free by the time a client
// can see the answer that freed it.
#include "service/http/worker_pool.h"

#include <gtest/gtest.h>

#include <future>

namespace {

TEST(WorkerPool, APlaceIsFreeOnceTheJobHandsBackItsAnswer) {
  service::WorkerPool pool(1, 0);
  for (int round = 0; round < 200; ++round) {
    std::promise<void> handed_back;
    ASSERT_TRUE(pool.Submit([] {}, [&handed_back] { handed_back.set_value(); })) << round;
    handed_back.get_future().wait();
  }
}

TEST(WorkerPool, RefusesPastItsBoundAndAfterStop) {
  service::WorkerPool pool(1, 1);
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::promise<void> started;
  ASSERT_TRUE(pool.Submit([&started, released] {
    started.set_value();
    released.wait();
  }));
  started.get_future().wait();
  int ran = 0;
  EXPECT_TRUE(pool.Submit([&ran] { ++ran; }));   // waits for the worker
  EXPECT_FALSE(pool.Submit([&ran] { ++ran; }));  // one past the bound
  release.set_value();
  pool.Stop();
  EXPECT_EQ(ran, 1);  // the waiting job still ran before the workers were joined
  EXPECT_FALSE(pool.Submit([] {}));
}

}  // namespace
