#include "CommonDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace parlavox::toolkit {

namespace {

constexpr int32_t kHideReadOnly = 0x4;

CommonDialog::Presenter& presenter() {
    static CommonDialog::Presenter p;
    return p;
}

QString showQtDialog(const CommonDialog::OpenRequest& r, QWidget* owner) {
    QFileDialog dialog(owner, r.title, r.directory);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (!r.nameFilters.isEmpty()) {
        dialog.setNameFilters(r.nameFilters);
        dialog.selectNameFilter(r.nameFilters.value(r.selectedFilter, r.nameFilters.first()));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

} // namespace

QString NativeFolder(const QString& folder) {
    QString text = folder;
    const qsizetype zero = text.indexOf(QChar(0));
    if (zero >= 0)
        text.truncate(zero);
    text.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir::toNativeSeparators(text);
}

CommonDialog::CommonDialog(QString dialogTitle, QString initDir, QString filter)
    : InitDir(std::move(initDir)), Filter(std::move(filter)), DialogTitle(std::move(dialogTitle)) {}

CommonDialog::OpenRequest CommonDialog::Request() const {
    OpenRequest r;
    r.title = DialogTitle;
    r.directory = NativeFolder(InitDir);
    r.hideReadOnly = (Flags & kHideReadOnly) != 0;
    const QStringList parts = Filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt takes the patterns from the last parentheses; add them when the
        // description does not already show them.
        r.nameFilters << (description.contains(QLatin1Char('(') + patterns + QLatin1Char(')'))
                              ? description
                              : description + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    r.selectedFilter = FilterIndex >= 1 ? FilterIndex - 1 : 0;
    return r;
}

void CommonDialog::ShowOpen(QWidget* owner) {
    const OpenRequest request = Request();
    const QString chosen = presenter() ? presenter()(request, owner) : showQtDialog(request, owner);
    fileName_ = chosen;
    fileTitle_ = chosen.isEmpty() ? QString() : QFileInfo(chosen).fileName();
}

void CommonDialog::SetPresenter(Presenter p) {
    presenter() = std::move(p);
}

} // namespace parlavox::toolkit
