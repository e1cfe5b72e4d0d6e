#pragma once
// The animations window: the character's animation names, which the random
// animation also picks from, and their count. Its module answers the Windows
// directory.

#include "platform/toolkit/Controls.h"
#include "platform/toolkit/Form.h"

#include <QLabel>

namespace parlavox {

class FrmAnimation : public toolkit::Form {
  public:
    toolkit::CommandButton& Command1() { return Control(command1_); }
    toolkit::ListBox& AnimationListBox() { return Control(animationListBox_); }
    QLabel& Label2() { return Control(label2_); }
    QLabel& Label1() { return Control(label1_); }

    // The Windows directory with one trailing backslash, or "" when the query fails.
    QString GetWindowsDir();
    void Command1_Click();

  private:
    void Design(QWidget& window) override;

    toolkit::CommandButton* command1_ = nullptr;
    toolkit::ListBox* animationListBox_ = nullptr;
    QLabel* label2_ = nullptr;
    QLabel* label1_ = nullptr;
};

} // namespace parlavox
