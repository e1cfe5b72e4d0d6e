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
