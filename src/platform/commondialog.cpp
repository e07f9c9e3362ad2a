#include "platform/commondialog.h"

#include <QColorDialog>
#include <QFileDialog>

QString CommonDialog::QtNameFilter(const QString& filter) {
    const int bar = filter.indexOf('|');
    if (bar < 0) return filter;
    const QString description = filter.left(bar);
    const QString pattern = filter.mid(bar + 1);
    // Qt reads the pattern from the last parentheses of the description.
    if (description.endsWith("(" + pattern + ")")) return description;
    return description + " (" + pattern + ")";
}

bool QtCommonDialog::ShowFile(QWidget* owner, bool save) {
    QFileDialog dialog(owner);
    // Qt's own dialog; a save asks before it replaces a file, and "no" writes nothing.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(QtNameFilter(Filter));
    if (!FileName.isEmpty()) dialog.selectFile(FileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    FileName = dialog.selectedFiles().constFirst();
    return true;
}

bool QtCommonDialog::ShowOpen(QWidget* owner) { return ShowFile(owner, false); }
bool QtCommonDialog::ShowSave(QWidget* owner) { return ShowFile(owner, true); }

bool QtCommonDialog::ShowColor(QWidget* owner) {
    QColorDialog dialog(owner);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted) return false;
    const QColor c = dialog.selectedColor();
    Color = static_cast<uint32_t>(c.red()) | (static_cast<uint32_t>(c.green()) << 8) |
            (static_cast<uint32_t>(c.blue()) << 16);
    return true;
}

bool ScriptedCommonDialog::NextFile() {
    if (fileAnswers.empty()) return false;
    const std::optional<QString> answer = fileAnswers.front();
    fileAnswers.pop_front();
    if (!answer) return false;
    FileName = *answer;
    return true;
}

bool ScriptedCommonDialog::ShowColor(QWidget*) {
    ++colors;
    if (colorAnswers.empty()) return false;
    const std::optional<uint32_t> answer = colorAnswers.front();
    colorAnswers.pop_front();
    if (!answer) return false;
    Color = *answer;
    return true;
}
