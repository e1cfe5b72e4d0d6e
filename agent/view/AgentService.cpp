#include "AgentService.h"

#include "BalloonWindow.h"
#include "CharacterWindow.h"
#include "CommandMenu.h"
#include "OptionsDialog.h"
#include "SoundPlayer.h"

#include "agent/speech/EspeakSynthesizer.h"

#include <QDateTime>
#include <QGuiApplication>
#include <QScreen>

namespace agent::view {

struct AgentService::Loaded {
    std::shared_ptr<format::Character> character;
    engine::QtClock clock;
    engine::SeededRandom random{static_cast<std::uint64_t>(QDateTime::currentMSecsSinceEpoch())};
    std::unique_ptr<engine::CharacterAgent> agent;
    std::unique_ptr<CharacterWindow> window;
    std::unique_ptr<BalloonWindow> balloon;
};

AgentService::AgentService(std::unique_ptr<speech::Synthesizer> synthesizer, QObject* parent)
    : QObject(parent), options_(loadOptions()), synthesizer_(std::move(synthesizer)),
      sounds_(std::make_unique<SoundPlayer>()) {
    if (!synthesizer_)
        synthesizer_ = std::make_unique<speech::EspeakSynthesizer>();
}

AgentService::~AgentService() {
    // Windows observe their agents: they go first.
    for (auto& [id, loaded] : characters_) {
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
    try {
        loaded->character = std::make_shared<format::Character>(format::Character::open(path));
    } catch (const std::exception& e) {
        throw std::runtime_error(QStringLiteral("Could not load the character file \"%1\": %2")
                                     .arg(path, QString::fromUtf8(e.what()))
                                     .toStdString());
    }
    loaded->agent =
        std::make_unique<engine::CharacterAgent>(characterId, loaded->character, loaded->clock,
                                                 loaded->random, synthesizer_.get(), options_);
    engine::CharacterAgent& agent = *loaded->agent;
    loaded->window = std::make_unique<CharacterWindow>(agent);
    loaded->balloon = std::make_unique<BalloonWindow>(agent, *loaded->window, options_);
    CharacterWindow& window = *loaded->window;
    BalloonWindow& balloon = *loaded->balloon;

    // First place: the lower right of the screen, where a desk assistant sits.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect room = screen->availableGeometry();
        window.move(room.right() - window.width() - room.width() / 10,
                    room.bottom() - window.height() - room.height() / 10);
    }

    connect(&window, &CharacterWindow::doubleClicked, this,
            [this, characterId](int button, int shift, QPoint at) {
                emit doubleClicked(characterId, button, shift, at.x(), at.y());
            });
    Loaded* raw = loaded.get();
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
            [this](std::shared_ptr<const speech::Utterance> u) {
                if (options_.speechAudio && u && !u->pcm.empty())
                    sounds_->playSpeech(u->pcm, u->sampleRate);
            });
    connect(&agent, &engine::CharacterAgent::speechStopped, this,
            [this] { sounds_->stopSpeech(); });

    characters_[key] = std::move(loaded);
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
    if (!optionsDialog_)
        optionsDialog_ = std::make_unique<OptionsDialog>(options_);
    if (visible) {
        optionsDialog_->show();
        optionsDialog_->raise();
    } else {
        optionsDialog_->hide();
    }
}

void AgentService::openMenu(Loaded& loaded, QPoint at) {
    auto menu = buildCommandMenu(*loaded.agent, false);
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
    case MenuChoice::None:
        break;
    }
}

} // namespace agent::view
