// With no sound server at all there is no microphone: a state, not an error.
#include "agent/listen/Listener.h"

#include "PulseServer.h"

#include <QCoreApplication>
#include <QSignalSpy>

#include <gtest/gtest.h>

using agent::listen::Listener;

namespace {

// Waits (with a generous ceiling) for the recogniser to load.
bool waitUntilReady(Listener& l) {
    QSignalSpy spy(&l, &Listener::stateChanged);
    return l.state() != Listener::State::Preparing || spy.wait(60000);
}

} // namespace

TEST(ListenerWithoutMicrophone, ReportsNoMicrophoneAndStartChangesNothingElse) {
    Listener l;
    ASSERT_TRUE(waitUntilReady(l));
    EXPECT_FALSE(Listener::microphoneAvailable());
    EXPECT_EQ(l.state(), Listener::State::NoMicrophone);
    QSignalSpy states(&l, &Listener::stateChanged);
    QSignalSpy results(&l, &Listener::recognized);
    QSignalSpy failures(&l, &Listener::failed);
    l.start();
    ASSERT_EQ(states.count(), 1); // announced again, for the tip
    EXPECT_EQ(states.at(0).at(0).value<Listener::State>(), Listener::State::NoMicrophone);
    l.stop();
    QCoreApplication::processEvents();
    EXPECT_EQ(l.state(), Listener::State::NoMicrophone);
    EXPECT_EQ(results.count(), 0);
    EXPECT_EQ(failures.count(), 0);
}

TEST(ListenerWithoutModel, ReportsUnavailableWithTheReason) {
    agent::listen::RecognizerOptions o;
    o.modelDir = "/nonexistent/model";
    Listener l(o);
    QSignalSpy failures(&l, &Listener::failed);
    ASSERT_TRUE(waitUntilReady(l));
    EXPECT_EQ(l.state(), Listener::State::Unavailable);
    ASSERT_EQ(failures.count(), 1);
    EXPECT_TRUE(failures.at(0).at(0).toString().contains("/nonexistent/model"));
    l.start(); // harmless
    EXPECT_EQ(l.state(), Listener::State::Unavailable);
}

int main(int argc, char** argv) {
    const speechtest::PulseServer nowhere(speechtest::PulseServer::Mode::Nowhere);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
