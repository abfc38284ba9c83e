// Writing a session file and opening it into a repository the way the app opens one, for the
// benchmarks that time opening a file.
#pragma once

#include "BenchSupport.h"

#include "MorvendaApp/session/FileHolder.h"
#include "MorvendaApp/session/Logger.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/session/SessionFile.h"

#include <cstdio>

namespace bench {

// Writes the repository's timeline to the path; says so and returns false when it cannot.
inline bool writeSession(const MessageRepository &source, const QString &path)
{
    if (SessionFile::write(source.currentTimeline(), path))
        return true;
    std::printf("could not write the session file\n");
    return false;
}

// Opens the file into the repository and turns the event loop until it has loaded and what the
// load posted has run.
inline void openSession(const QString &path, MessageRepository &repository)
{
    FileHolder holder;
    Logger logger;
    bool done = false;
    SessionFile::load(path, repository, holder, logger, [&](const auto &) { done = true; });
    waitFor([&] { return done; });
    QCoreApplication::processEvents();
}

} // namespace bench
