#pragma once
// Program-wide services of the window toolkit: the handler dispatcher with its
// run-time error report, End, the message box, version numbers, random numbers
// and the Windows-directory query.

#include <QString>

#include <cstdint>
#include <functional>
#include <stdexcept>

namespace parlavox::toolkit {

// Thrown by End() to unwind the running handler; the dispatcher turns it into
// the end of the program. Handlers never catch it.
struct EndProgram {
    int status = 0;
};

// Enters a handler. Whatever escapes it is reported and ends the program; End()
// ends it quietly. Once the program is ending no further handler runs.
void Dispatch(const std::function<void()>& handler);

// Ends the program at once: no statement after it and no further handler runs.
[[noreturn]] void End();

// True once End() or a run-time error has ended the program; the exit status.
bool Ending();
int ExitStatus();

// Message box with a prompt and a style (16: critical icon, one OK button). The
// title is the application's title. The answer is not used by the program.
void MsgBox(const QString& prompt, int style);

// The application's title and version numbers.
QString AppTitle();
int AppMajor();
int AppMinor();
int AppRevision();

// Random numbers: reseed from the system clock; next single-precision value in [0, 1).
void Randomize();
void Randomize(uint32_t seed);
float Rnd();

// GetWindowsDirectoryA semantics: writes the directory and a terminating zero
// into buffer and returns its length, or returns the size it would need when it
// does not fit (buffer untouched), or 0 when there is no such directory.
uint32_t GetWindowsDirectoryA(char* buffer, uint32_t size);

// The folder the Windows-directory query answers on this platform: the
// program's data folder, beside the executable's bin/.
QString DataFolder();

// Large blocks (a pasted megabyte of text, a long utterance) go back to the
// system when freed, so a program that runs all day does not keep its peak.
// Call once at start, before the work begins.
void ReturnLargeBlocksToSystem();

// Seams for tests and for the shell that embeds the toolkit.
struct Hooks {
    std::function<void(const QString& prompt, int style)> msgBox; // default: QMessageBox
    std::function<float()> rnd;                                   // default: the generator
    std::function<QString()> windowsDirectory;                    // "" means the query fails
    std::function<void(int status)> quit;                         // default: QCoreApplication::exit
};
Hooks& hooks();
void ResetRuntime(); // forget a previous End (tests run many programs in one process)

} // namespace parlavox::toolkit

namespace parlavox::toolkit {

// Conversion to a 16-bit integer: rounds to the nearest, halves to the even
// neighbour; a value outside the range raises an overflow error.
int16_t CInt(double value);

} // namespace parlavox::toolkit
