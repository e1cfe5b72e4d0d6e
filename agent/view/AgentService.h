#pragma once
// The engine as one object: loads characters from files, puts each on the
// desktop with its balloon and menu, voices it, and reports what the user does
// to it. It knows nothing about the program that uses it.

#include "agent/engine/CharacterAgent.h"
#include "agent/engine/Options.h"
#include "agent/engine/Synthesizer.h"

#include <QObject>

#include <functional>

#include <map>
#include <memory>

namespace agent::view {

class CharacterWindow;
class BalloonWindow;
class OptionsDialog;
class SoundPlayer;
class ListeningTip;
} // namespace agent::view

namespace agent::listen {
class Listener;
struct Recognition;
} // namespace agent::listen

namespace agent::view {

class AgentService : public QObject {
    Q_OBJECT
  public:
    // Without a synthesizer of its own the engine speaks with espeak-ng.
    explicit AgentService(std::unique_ptr<engine::Synthesizer> synthesizer = nullptr,
                          QObject* parent = nullptr);
    ~AgentService() override;

    // Reads the file and makes the character ready; throws with a message
    // naming the file and what is wrong with it.
    void load(const QString& characterId, const QString& path);
    // nullptr when no character has that ID.
    engine::CharacterAgent* character(const QString& characterId);
    CharacterWindow* window(const QString& characterId);

    void setOptionsVisible(bool visible);
    engine::Options& options() { return options_; }

    // Each character loaded from here on runs on a clock from this factory
    // instead of the desktop's (scripted runs: a day in a minute).
    using ClockFactory = std::function<std::unique_ptr<engine::Clock>()>;
    void setClockFactory(ClockFactory factory) { clocks_ = std::move(factory); }

  signals:
    void command(const QString& characterId, const QString& name);
    void doubleClicked(const QString& characterId, int button, int shift, int x, int y);

  private:
    struct Loaded;
    void openMenu(Loaded& loaded, QPoint at);
    // Voice commands: one recogniser for the character last spoken to.
    listen::Listener& listener();
    void startListening(Loaded& loaded);
    void updateGrammar();
    void applyListeningOptions();
    void onRecognized(const listen::Recognition& recognition);
    bool showTip();

    engine::Options options_;
    ClockFactory clocks_;
    std::unique_ptr<engine::Synthesizer> synthesizer_;
    std::unique_ptr<SoundPlayer> sounds_;
    std::unique_ptr<OptionsDialog> optionsDialog_;
    std::map<QString, std::unique_ptr<Loaded>> characters_; // by upper-cased ID
    std::unique_ptr<listen::Listener> listener_;            // made when first needed
    std::unique_ptr<ListeningTip> tip_;
    Loaded* listeningFor_ = nullptr;
    bool listenRequested_ = false; // the tip stays away until then
    bool wasRecognizing_ = false;  // the listener's last state was Recognizing
};

} // namespace agent::view
