// With no sound server at all there is no microphone: a state, not an error.
#include "agent/listen/Listener.h"

#include "PulseServer.h"

#include <QCoreApplication>
#include <QSignalSpy>

#include <gtest/gtest.h>

using agent::listen::Listener;

TEST(ListenerWithoutMicrophone, ReportsNoMicrophoneAndStartChangesNothingElse) {
    Listener l;
    QSignalSpy ready(&l, &Listener::stateChanged); // the recogniser loads first
    ASSERT_TRUE(l.state() != Listener::State::Preparing || ready.wait(60000));
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
    EXPECT_EQ(results.count() + failures.count(), 0);
}

int main(int argc, char** argv) {
    const speechtest::PulseServer nowhere(speechtest::PulseServer::Mode::Nowhere);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
