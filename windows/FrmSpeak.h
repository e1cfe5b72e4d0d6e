#pragma once
// The main window: what the character says and how. Hidden nearly all the
// time; the character's behaviours read its text and sliders from here.

#include "platform/agent/AgentControl.h"
#include "platform/toolkit/Controls.h"
#include "platform/toolkit/Form.h"

#include <QLabel>
#include <QSlider>

#include <cstdint>
#include <memory>

namespace parlavox {

class FrmSpeak : public toolkit::Form {
  public:
    ~FrmSpeak() override;

    // Controls.
    toolkit::Timer& Timer1() { return Control(timer1_); }
    toolkit::CommandButton& Command1() { return Control(command1_); }
    toolkit::Line& Line1() { return Control(line1_); }
    QSlider& sldSpeed() { return Control(sldSpeed_); }
    QSlider& Slider1() { return Control(slider1_); }
    QLabel& Label4() { return Control(label4_); }
    QLabel& Label3() { return Control(label3_); }
    QLabel& Label2() { return Control(label2_); }
    toolkit::CommandButton& CommandButton2() { return Control(commandButton2_); }
    toolkit::TextBox& TextBox1() { return Control(textBox1_); }
    agentctl::Control& AgentControl() { return Control(agentControl_); }

    // The loaded character, set once by the load; the last random pick.
    std::shared_ptr<agentctl::Character> AgentCharacter;
    int16_t RandomIndex = 0;

    void Form_Load() override;
    void InitPopupMenuCmds();
    void AgentControl_Command(const agentctl::UserInput& UserInput);
    void Play();
    void Timer1_Timer();

    // The text the character says, with the sliders' speed and pitch tags.
    QString TaggedText();
    void Command1_Click();
    void AgentControl_DblClick(const QString& CharacterID, short Button, short Shift, short X,
                               short Y);
    void CommandButton2_Click();

  private:
    void Design(QWidget& window) override;

    std::unique_ptr<toolkit::Timer> timer1_;
    toolkit::CommandButton* command1_ = nullptr;
    toolkit::Line* line1_ = nullptr;
    QSlider* sldSpeed_ = nullptr;
    QSlider* slider1_ = nullptr;
    QLabel* label4_ = nullptr;
    QLabel* label3_ = nullptr;
    QLabel* label2_ = nullptr;
    toolkit::CommandButton* commandButton2_ = nullptr;
    toolkit::TextBox* textBox1_ = nullptr;
    std::unique_ptr<agentctl::Control> agentControl_;
};

} // namespace parlavox
