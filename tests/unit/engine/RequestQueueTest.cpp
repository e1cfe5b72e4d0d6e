#include "agent/engine/RequestQueue.h"

#include <gtest/gtest.h>

using namespace agent::engine;

TEST(RequestQueue, HandsOutRequestsOneAtATimeInTheOrderTheyCame) {
    RequestQueue queue;
    for (const char* name : {"A", "B", "C"})
        queue.push({Request::Kind::Play, name});
    QString order;
    for (; queue.startNext(); queue.complete())
        order += queue.current()->text + QString::number(queue.waiting());
    EXPECT_EQ(order, "A2B1C0");
    EXPECT_FALSE(queue.busy());
}
