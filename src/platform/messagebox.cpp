#include "platform/messagebox.h"

#include <QApplication>
#include <QMessageBox>

void QtMessageBox::Show(QWidget* owner, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text, QMessageBox::Ok, owner);
    box.exec();
}
