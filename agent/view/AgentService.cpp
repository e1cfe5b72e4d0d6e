#include "AgentService.h"

#include "BalloonWindow.h"
#include "CharacterTray.h"
#include "CharacterWindow.h"
#include "CommandMenu.h"
#include "ListeningTip.h"
#include "OptionsDialog.h"
#include "Places.h"
#include "SoundPlayer.h"

#include "agent/listen/Grammar.h"
#include "agent/listen/Listener.h"
#include "agent/listen/Logging.h"
#include "agent/speech/EspeakSynthesizer.h"

#include <QDateTime>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

namespace agent::view {

struct AgentService::Loaded {
    std::shared_ptr<format::Character> character;
    std::unique_ptr<engine::Clock> clock;
    engine::SeededRandom random{static_cast<std::uint64_t>(QDateTime::currentMSecsSinceEpoch())};
    std::unique_ptr<engine::CharacterAgent> agent;
    std::unique_ptr<CharacterWindow> window;
    std::unique_ptr<BalloonWindow> balloon;
    // The way back after Hide, where the desktop has a tray.
    std::unique_ptr<CharacterTray> tray;
    // Where the user leaves the character is kept once it has stood still.
    QString placeKey;
    QTimer placeSaver;
    void savePlaceNow() {
        placeSaver.stop();
        savePlace(placeKey, window->pos());
    }
};

AgentService::AgentService(std::unique_ptr<engine::Synthesizer> synthesizer, QObject* parent)
    : QObject(parent), options_(engine::loadOptions()), synthesizer_(std::move(synthesizer)),
      sounds_(std::make_unique<SoundPlayer>()) {
    if (!synthesizer_)
        synthesizer_ = std::make_unique<speech::EspeakSynthesizer>();
}

namespace {
constexpr int kMenuListenMs = 4000;
constexpr int kPlaceSaveDelayMs = 500;

ListeningTip::State tipState(listen::Listener::State state) {
    using S = listen::Listener::State;
    switch (state) {
    case S::Preparing:
        return ListeningTip::State::Preparing;
    case S::Listening:
        return ListeningTip::State::Listening;
    case S::NoMicrophone:
        return ListeningTip::State::NoMicrophone;
    case S::Idle:
    case S::Unavailable:
    case S::Recognizing:
        break;
    }
    return ListeningTip::State::NotListening;
}
} // namespace

AgentService::~AgentService() {
    listener_.reset();
    tip_.reset();
    // Windows observe their agents: they go first.
    for (auto& [id, loaded] : characters_) {
        if (loaded->placeSaver.isActive())
            loaded->savePlaceNow();
        loaded->tray.reset();
        loaded->balloon.reset();
        loaded->window.reset();
    }
}

void AgentService::load(const QString& characterId, const QString& path) {
    qCInfo(engine::lcRequest).noquote()
        << "Characters.Load" << QStringLiteral("\"%1\" \"%2\"").arg(characterId, path);
    const QString key = characterId.toUpper();
    if (characters_.count(key))
        throw std::runtime_error(QStringLiteral("a character with the ID \"%1\" is already loaded")
                                     .arg(characterId)
                                     .toStdString());
    auto loaded = std::make_unique<Loaded>();
    loaded->clock = clocks_ ? clocks_() : std::make_unique<engine::QtClock>();
    try {
        loaded->character = std::make_shared<format::Character>(format::Character::open(path));
    } catch (const std::exception& e) {
        throw std::runtime_error(QStringLiteral("Could not load the character file \"%1\": %2")
                                     .arg(path, QString::fromUtf8(e.what()))
                                     .toStdString());
    }
    loaded->agent =
        std::make_unique<engine::CharacterAgent>(characterId, loaded->character, *loaded->clock,
                                                 loaded->random, synthesizer_.get(), options_);
    engine::CharacterAgent& agent = *loaded->agent;
    loaded->window = std::make_unique<CharacterWindow>(agent, options_);
    loaded->balloon = std::make_unique<BalloonWindow>(agent, *loaded->window, options_);
    CharacterWindow& window = *loaded->window;
    BalloonWindow& balloon = *loaded->balloon;

    // First place: where the user last left this character, on a screen that
    // is still there; the first time, the lower right of the screen, where a
    // desk assistant sits.
    loaded->placeKey = loaded->character->guid.toString();
    if (const std::optional<QPoint> saved = savedPlace(loaded->placeKey)) {
        window.move(placeOnScreens(QRect(*saved, window.size()), currentScreens()));
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect room = screen->availableGeometry();
        window.move(room.right() - window.width() - room.width() / 10,
                    room.bottom() - window.height() - room.height() / 10);
    }
    loaded->placeSaver.setSingleShot(true);
    loaded->placeSaver.setInterval(kPlaceSaveDelayMs);
    Loaded* raw = loaded.get();
    connect(&loaded->placeSaver, &QTimer::timeout, this, [raw] { raw->savePlaceNow(); });
    connect(&window, &CharacterWindow::moved, this, [raw] {
        // Moves while hidden are the engine's own, not the user's.
        if (raw->window->isVisible())
            raw->placeSaver.start();
    });

    connect(&window, &CharacterWindow::doubleClicked, this,
            [this, characterId](int button, int shift, QPoint at) {
                emit doubleClicked(characterId, button, shift, at.x(), at.y());
            });
    connect(&window, &CharacterWindow::menuRequested, this,
            [this, raw](QPoint at) { openMenu(*raw, at); });
    connect(&window, &CharacterWindow::moved, &balloon, [&balloon, &agent] {
        if (agent.balloon().visible)
            emit agent.balloonChanged();
    });
    connect(&agent, &engine::CharacterAgent::soundRequested, this, [this, raw](int index) {
        if (index >= 0 && std::size_t(index) < raw->character->soundCount())
            sounds_->playWav(raw->character->sound(std::size_t(index)).data);
    });
    connect(&agent, &engine::CharacterAgent::speechStarted, this,
            [this](std::shared_ptr<const engine::Utterance> u) {
                if (options_.speechAudio && u && !u->pcm.empty())
                    sounds_->playSpeech(u->pcm, u->sampleRate);
            });
    connect(&agent, &engine::CharacterAgent::speechStopped, this,
            [this] { sounds_->stopSpeech(); });
    connect(&window, &CharacterWindow::listenKeyPressed, this,
            [this, raw] { startListening(*raw); });
    connect(&window, &CharacterWindow::listenKeyReleased, this, [this] {
        if (listener_)
            listener_->stop();
    });
    loaded->tray = std::make_unique<CharacterTray>(agent, raw->window->windowTitle());
    connect(&agent, &engine::CharacterAgent::commandsChanged, this, [this, raw] {
        if (listeningFor_ == raw)
            updateGrammar();
    });

    characters_[key] = std::move(loaded);
    if (!listeningFor_)
        listeningFor_ = raw;
    // The recogniser's model costs about 30 MB, so it loads on the first request
    // to listen (the tip says it is preparing); hands-free listening needs it now.
    if (options_.listeningEnabled && options_.handsFree)
        listener();
}

engine::CharacterAgent* AgentService::character(const QString& characterId) {
    auto it = characters_.find(characterId.toUpper());
    return it == characters_.end() ? nullptr : it->second->agent.get();
}

CharacterWindow* AgentService::window(const QString& characterId) {
    auto it = characters_.find(characterId.toUpper());
    return it == characters_.end() ? nullptr : it->second->window.get();
}

void AgentService::setOptionsVisible(bool visible) {
    qCInfo(engine::lcRequest).noquote() << "PropertySheet.Visible" << (visible ? "true" : "false");
    if (!optionsDialog_) {
        optionsDialog_ = std::make_unique<OptionsDialog>(options_);
        connect(optionsDialog_.get(), &OptionsDialog::optionsChanged, this, [this] {
            if (options_.listeningEnabled && options_.handsFree && !characters_.empty())
                listener(); // applies the options itself
            applyListeningOptions();
        });
    }
    if (visible) {
        optionsDialog_->show();
        optionsDialog_->raise();
    } else {
        optionsDialog_->hide();
    }
}

listen::Listener& AgentService::listener() {
    if (listener_)
        return *listener_;
    listener_ = std::make_unique<listen::Listener>();
    tip_ = std::make_unique<ListeningTip>();
    applyListeningOptions();
    connect(listener_.get(), &listen::Listener::stateChanged, this,
            [this](listen::Listener::State state) {
                // A tone when the user starts listening, as a sound effect: not when
                // hands-free listening resumes after an answer.
                const bool resumed = wasRecognizing_;
                wasRecognizing_ = state == listen::Listener::State::Recognizing;
                if (state == listen::Listener::State::Listening && !resumed &&
                    options_.listeningTone && options_.soundEffects) {
                    qCInfo(lcListen) << "listening tone";
                    sounds_->playListeningTone();
                }
                // Recognizing keeps the tip as it is until the answer comes; nothing
                // shows before the user first asks to be heard.
                if (state == listen::Listener::State::Recognizing || !listenRequested_ ||
                    !showTip())
                    return;
                // Not listening is only news right after listening ended.
                if (state == listen::Listener::State::Idle &&
                    tip_->state() != ListeningTip::State::Listening)
                    return;
                tip_->showState(tipState(state));
            });
    connect(listener_.get(), &listen::Listener::recognized, this,
            [this](const listen::Recognition& r) { onRecognized(r); });
    updateGrammar();
    return *listener_;
}

bool AgentService::showTip() {
    if (!tip_ || !options_.showListeningTip || !listeningFor_)
        return false;
    const CharacterWindow& window = *listeningFor_->window;
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    tip_->setCharacterName(listeningFor_->agent->character().locale()
                               ? listeningFor_->agent->character().locale()->name
                               : listeningFor_->agent->id());
    tip_->placeBy(window.frameGeometry(), screen ? screen->availableGeometry() : QRect());
    return true;
}

void AgentService::applyListeningOptions() {
    if (!listener_)
        return;
    if (!options_.listeningEnabled)
        listener_->cancel();
    auto o = listener_->options();
    o.handsFree = options_.handsFree && options_.listeningEnabled;
    o.releaseDelayMs = options_.listenAfterReleaseMs;
    o.listeningTone = options_.listeningTone && options_.soundEffects;
    listener_->setOptions(o);
}

void AgentService::startListening(Loaded& loaded) {
    if (!options_.listeningEnabled)
        return;
    listenRequested_ = true;
    const bool switched = listeningFor_ != &loaded;
    listeningFor_ = &loaded;
    listen::Listener& l = listener();
    if (switched)
        updateGrammar();
    l.start();
}

void AgentService::updateGrammar() {
    if (!listener_ || !listeningFor_)
        return;
    std::vector<listen::VoiceCommand> commands;
    for (const engine::Command& c : listeningFor_->agent->commands())
        if (c.enabled && !c.voice.isEmpty())
            commands.push_back({c.name.toStdString(), c.voice.toStdString()});
    // The bare name is left out: in noise it is what other speech is taken for.
    std::vector<listen::GlobalPhrase> globals;
    for (auto& g : listen::globalPhrases(listeningFor_->agent->id().toStdString()))
        if (g.action != listen::GlobalAction::CallCharacter)
            globals.push_back(g);
    try {
        listener_->setGrammar(listen::Grammar::build(commands, globals));
    } catch (const std::exception& e) {
        // A phrase that cannot be listened for must not take the character down.
        qCWarning(engine::lcRequest) << "voice commands unavailable:" << e.what();
    }
}

void AgentService::onRecognized(const listen::Recognition& r) {
    if (!listeningFor_)
        return;
    Loaded& loaded = *listeningFor_;
    if (!r.accepted || !r.phrase) {
        if (showTip())
            tip_->showState(ListeningTip::State::NotUnderstood);
        return;
    }
    if (showTip())
        tip_->showState(ListeningTip::State::Heard, QString::fromStdString(r.phrase->shown));
    if (r.phrase->kind == listen::Phrase::Kind::Command) {
        emit command(loaded.agent->id(), QString::fromStdString(r.phrase->commandName));
        return;
    }
    switch (r.phrase->action) {
    case listen::GlobalAction::HideCharacter:
        loaded.agent->hide();
        break;
    case listen::GlobalAction::OpenCommandsWindow:
        openMenu(loaded, loaded.window->frameGeometry().center());
        break;
    case listen::GlobalAction::CloseCommandsWindow:
    case listen::GlobalAction::CallCharacter:
        break;
    }
}

void AgentService::openMenu(Loaded& loaded, QPoint at) {
    auto menu = buildCommandMenu(*loaded.agent, options_.listeningEnabled);
    const MenuChoice choice = choiceOf(menu->exec(at));
    switch (choice.kind) {
    case MenuChoice::Command:
        emit command(loaded.agent->id(), choice.commandName);
        break;
    case MenuChoice::Hide:
        loaded.agent->hide();
        break;
    case MenuChoice::Options:
        setOptionsVisible(true);
        break;
    case MenuChoice::Listen:
        // No key to release: listen for one utterance, then let it finish.
        startListening(loaded);
        QTimer::singleShot(kMenuListenMs, this, [this] {
            if (listener_)
                listener_->stop();
        });
        break;
    case MenuChoice::None:
        break;
    }
}

} // namespace agent::view
