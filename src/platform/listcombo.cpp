#include "platform/listcombo.h"

#include <QComboBox>
#include <QLineEdit>

void ChooseOnlyFromList(QComboBox* box) {
    if (QLineEdit* edit = box->lineEdit()) QObject::disconnect(edit, &QLineEdit::editingFinished, box, nullptr);
}
