#include "engine/MainThreadInvoker.h"
#include "platform/base/Errors.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>
#include <thread>

using namespace vardocle;

TEST(QtMainThreadInvoker, RunsStepsOnTheMainThreadAndCarriesErrorsBack) {
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name};
    QCoreApplication application(argc, argv);
    TQtMainThreadInvoker invoker(&application);
    QThread* mainThread = QThread::currentThread();

    bool ranOnMain = false;
    std::string carried;
    bool posted = false;
    std::thread worker([&] {
        invoker.Invoke([&] { ranOnMain = QThread::currentThread() == mainThread; });
        try {
            invoker.Invoke([] { throw Exception("Invalid bitmap"); });
        } catch (const Exception& error) {
            carried = error.what();
        }
        invoker.Post([&] {
            posted = QThread::currentThread() == mainThread;
            application.quit();
        });
    });
    application.exec();
    worker.join();
    EXPECT_TRUE(ranOnMain);
    EXPECT_EQ(carried, "Invalid bitmap");
    EXPECT_TRUE(posted);

    // From the main thread itself the step runs at once instead of deadlocking.
    bool direct = false;
    invoker.Invoke([&] { direct = true; });
    EXPECT_TRUE(direct);
}
