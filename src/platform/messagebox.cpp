#include "platform/messagebox.h"

#include <QApplication>
#include <QMessageBox>

void QtMessageBox::Show(QWidget* owner, const QString& text, const QString& detail) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text, QMessageBox::Ok, owner);
    box.setInformativeText(detail);
    box.exec();
}
