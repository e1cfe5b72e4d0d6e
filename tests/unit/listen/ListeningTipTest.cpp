#include "agent/view/ListeningTip.h"

#include <QFontMetrics>
#include <QLabel>

#include <gtest/gtest.h>

using agent::view::ListeningTip;
using State = ListeningTip::State;

// Centred below the character, above it where there is no room below, kept on screen.
TEST(ListeningTipPosition, CentredBelowElseAboveAndKeptOnScreen) {
    const QRect screen(0, 0, 1024, 768);
    const QRect character(400, 100, 128, 128); // bottom edge at y = 227
    const QPoint p = ListeningTip::positionFor(QSize(100, 20), character, screen);
    EXPECT_EQ(p.x(), 463 - 50); // QRect centre of columns 400..527
    EXPECT_GT(p.y(), character.bottom());
    EXPECT_LT(p.y(), character.bottom() + 20);
    const QRect low(-60, 650, 128, 110); // off the left edge, near the bottom
    const QPoint above = ListeningTip::positionFor(QSize(200, 20), low, screen);
    EXPECT_EQ(above.x(), 0);
    EXPECT_LE(above.y() + 20, low.top());
    EXPECT_EQ(ListeningTip::positionFor(QSize(200, 20), QRect(980, 10, 100, 100), screen).x(),
              1024 - 200);
}

TEST(ListeningTipWindow, ShowsStatesBesideTheCharacterFitsTheTextAndTakesNoFocus) {
    ListeningTip tip;
    EXPECT_TRUE(tip.testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_EQ(tip.focusPolicy(), Qt::NoFocus);
    tip.setCharacterName("Merlin");
    const QRect screen(0, 0, 1024, 768);
    const QRect character(300, 200, 128, 128);
    tip.placeBy(character, screen);
    EXPECT_FALSE(tip.isVisible());
    tip.showState(State::Listening);
    EXPECT_TRUE(tip.isVisible());
    EXPECT_EQ(tip.text(), "-- Merlin is listening --");
    EXPECT_EQ(tip.pos(), ListeningTip::positionFor(tip.size(), character, screen));
    auto* label = tip.findChild<QLabel*>();
    ASSERT_NE(label, nullptr);
    EXPECT_GE(tip.width(), QFontMetrics(label->font()).horizontalAdvance(tip.text()));
    tip.showState(State::Heard, "Shut Up! & Quit");
    EXPECT_EQ(tip.text(), "Heard \"Shut Up! & Quit\"");
    EXPECT_GE(tip.width(), QFontMetrics(label->font()).horizontalAdvance(tip.text()));
    tip.showState(State::NotListening);
    tip.setCharacterName("Orin"); // renaming updates the shown text
    EXPECT_EQ(tip.text(), "Orin is not listening");
    tip.setCharacterName("");
    tip.showState(State::Preparing);
    EXPECT_EQ(tip.text(), "The character is preparing to listen");
}

TEST(ListeningTipWindow, PassingStatesHideLaterListeningStays) {
    ListeningTip tip;
    tip.setLinger(5000);
    tip.showState(State::Listening);
    EXPECT_FALSE(tip.hidePending());
    tip.showState(State::NotUnderstood);
    EXPECT_TRUE(tip.hidePending());
    tip.showState(State::Preparing);
    EXPECT_FALSE(tip.hidePending());
    tip.setLinger(0);
    tip.showState(State::Heard, "Sing");
    EXPECT_FALSE(tip.hidePending());
    EXPECT_TRUE(tip.isVisible());
}
