#pragma once
// The start-up window: a picture with the program's name and version, the timer
// whose first tick asks for the character file, and the open-file dialog.

#include "platform/toolkit/CommonDialog.h"
#include "platform/toolkit/Controls.h"
#include "platform/toolkit/Form.h"

#include <QLabel>

#include <memory>

namespace parlavox {

class FrmSplash : public toolkit::Form {
  public:
    toolkit::Timer& Timer1() { return Control(timer1_); }
    QLabel& Version() { return Control(version_); }
    QLabel& Label1() { return Control(label1_); }
    toolkit::CommonDialog& Dlg() { return Control(dlg_); }

    void Form_Load() override;
    void Timer1_Timer();

  private:
    void Design(QWidget& window) override;

    std::unique_ptr<toolkit::Timer> timer1_;
    QLabel* version_ = nullptr;
    QLabel* label1_ = nullptr;
    std::unique_ptr<toolkit::CommonDialog> dlg_;
};

} // namespace parlavox
