#pragma once
// The open-file dialog with the settings the program makes on it. Folder texts
// may use backslashes; they become the platform's separator when the dialog opens.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

class QWidget;

namespace parlavox::toolkit {

class CommonDialog {
  public:
    // What the dialog is asked to show, in the platform's own terms.
    struct OpenRequest {
        QString title;
        QString directory;       // separators converted, cut at the first zero character
        QStringList nameFilters; // Qt's "description (patterns)" form
        int selectedFilter = 0;  // index into nameFilters
        bool hideReadOnly = false;
    };
    using Presenter = std::function<QString(const OpenRequest&, QWidget* owner)>;

    CommonDialog(QString dialogTitle, QString initDir, QString filter);

    int32_t Flags = 0;
    QString InitDir;
    QString Filter; // "description|pattern|description|pattern..."
    int16_t FilterIndex = 0;
    QString DialogTitle;

    // Shows the modal dialog; returns when the user closes it. A cancel leaves
    // FileName and FileTitle empty and raises no error.
    void ShowOpen(QWidget* owner = nullptr);

    QString FileName() const { return fileName_; }
    QString FileTitle() const { return fileTitle_; }

    // The request ShowOpen would make with the current settings.
    OpenRequest Request() const;

    // Replaces the real dialog (tests, scripted runs).
    static void SetPresenter(Presenter presenter);

  private:
    QString fileName_;
    QString fileTitle_;
};

// Separators: backslashes become the platform's; text from a zero character on
// is dropped, as a C string would end there.
QString NativeFolder(const QString& folder);

} // namespace parlavox::toolkit
