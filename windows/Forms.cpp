#include "Forms.h"

#include "FrmAnimation.h"
#include "FrmSpeak.h"
#include "FrmSplash.h"

#include <memory>

namespace parlavox {

namespace {

struct Instances {
    std::unique_ptr<FrmSplash> splash;
    std::unique_ptr<FrmSpeak> speak;
    std::unique_ptr<FrmAnimation> animation;

    // Forms still here were not unloaded by main: exit() is ending the program
    // from inside the event loop, as Qt does when the display connection
    // breaks. Tearing widgets down then runs against a dead display with
    // dialogs still on the stack; the process is ending, so they are left.
    ~Instances() {
        (void)splash.release();
        (void)speak.release();
        (void)animation.release();
    }
};

Instances& instances() {
    static Instances i;
    return i;
}

template <class T> T& instance(std::unique_ptr<T>& slot) {
    if (!slot)
        slot = std::make_unique<T>();
    return *slot;
}

} // namespace

FrmSplash& frmSplash() {
    return instance(instances().splash);
}
FrmSpeak& frmSpeak() {
    return instance(instances().speak);
}
FrmAnimation& frmAnimation() {
    return instance(instances().animation);
}

void UnloadAllForms() {
    // The main window goes first: its character may still refer to the others.
    instances().speak.reset();
    instances().animation.reset();
    instances().splash.reset();
}

} // namespace parlavox
