#pragma once
#include <QDialog>
#include <cstdint>
#include <optional>
#include <string>

#include "model/records.h"
#include "platform/database.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class MessageBox;

// Finds a point or a line by its ID in the current database. A successful
// query closes the window; what it found is left in foundPoint / foundLine.
class frmAttribToShape : public QDialog {
    Q_OBJECT
public:
    frmAttribToShape(const std::string& databaseName, MessageBox& messages);

    int16_t shapeType = 1;  // 1 point, 2 line; only a choice from the list changes it
    QLabel* Label1 = nullptr;
    QComboBox* Combo1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;
    Data Data1;  // not shown

    std::optional<CPoint> foundPoint;
    std::optional<CLine> foundLine;

    void Combo1_Click(int index);
    void Command1_Click();

    static constexpr const char* kCannotQuery = "不能查询，请先将图形保存到数据库中，然后再查询";

private:
    MessageBox& messages_;
};

// The ID typed into the search: a whole text that is one number, blanks
// around it allowed ("3", " 3 ", "-2", "1.5E1"). Anything else is nullopt,
// so nothing typed ever becomes part of an SQL text.
std::optional<double> ParseSearchId(const std::string& text);
