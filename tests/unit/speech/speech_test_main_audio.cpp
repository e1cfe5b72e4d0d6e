// Audio output tests run against a PulseAudio server of their own with a null sink
// (or, with --no-audio-server, with no server at all).

#include "PulseServer.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <cstring>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv); // takes out its own flags
    const bool noServer = argc > 1 && std::strcmp(argv[1], "--no-audio-server") == 0;
    QCoreApplication app(argc, argv);
    // Before anything touches Qt Multimedia, which connects on first use.
    speechtest::PulseServer server(noServer ? speechtest::PulseServer::Mode::Nowhere
                                            : speechtest::PulseServer::Mode::Start);
    if (!noServer && !server.running()) {
        std::fprintf(stderr, "could not start a private PulseAudio server: %s\n",
                     server.log().c_str());
        return 1;
    }
    // A PulseAudio server in its first seconds holds up new streams between buffers.
    if (!noServer)
        QThread::sleep(2);
    return RUN_ALL_TESTS();
}
