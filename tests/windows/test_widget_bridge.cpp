// The hand-over between the exchange thread and the interface thread.

#include "windows/widget_bridge.h"
#include "support/widget_test_support.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

using namespace quilex;

// The work runs on the interface thread while the caller waits; what the caller wrote before
// is seen by the work, and what the work wrote is seen by the caller after. The plain ints
// are what a thread checker watches.
TEST(WidgetBridge, WorkRunsOnTheInterfaceThreadWhileTheCallerWaits)
{
    test::widgetApp();
    WidgetExchangeBridge bridge;
    int before = 0;
    int during = 0;
    QThread* ranOn = nullptr;
    std::atomic<bool> returned{false};
    std::thread exchange([&] {
        for (int i = 1; i <= 50; ++i) {
            before = i;
            bridge.synchronize([&] {
                ranOn = QThread::currentThread();
                during = before * 2;
            });
            EXPECT_EQ(during, i * 2);
        }
        returned = true;
    });
    QElapsedTimer clock;
    clock.start();
    while (!returned && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    exchange.join();
    EXPECT_TRUE(returned);
    EXPECT_EQ(ranOn, QThread::currentThread());
    EXPECT_EQ(during, 100);

    // On the interface thread itself the work simply runs.
    bridge.synchronize([&] { during = -1; });
    EXPECT_EQ(during, -1);
}

// A bridge destroyed with a hand-over still queued drops the work unrun, and the waiting
// thread goes on instead of waiting for ever.
TEST(WidgetBridge, ABridgeDestroyedWithWorkQueuedLetsTheCallerGoOn)
{
    test::widgetApp();
    auto bridge = std::make_unique<WidgetExchangeBridge>();
    WidgetExchangeBridge* queuedOn = bridge.get();
    std::atomic<bool> calling{false};
    std::atomic<bool> ran{false};
    std::atomic<bool> returned{false};
    std::thread exchange([&] {
        calling = true;
        queuedOn->synchronize([&] { ran = true; });
        returned = true;
    });
    // Let the call be queued (a few microseconds after calling), then destroy the bridge
    // without turning the event loop.
    while (!calling)
        QThread::msleep(1);
    QThread::msleep(100);
    EXPECT_FALSE(returned);
    bridge.reset();
    exchange.join();
    EXPECT_TRUE(returned);
    EXPECT_FALSE(ran);
}
