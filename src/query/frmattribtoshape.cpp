#include "query/frmattribtoshape.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <charconv>
#include <cmath>

#include "platform/busy.h"
#include "platform/fonts.h"
#include "platform/listcombo.h"
#include "platform/messagebox.h"
#include "query/dbrecord.h"
#include "platform/twips.h"

std::optional<double> ParseSearchId(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::nullopt;
    const auto last = text.find_last_not_of(" \t");
    std::string_view s(text.data() + first, last - first + 1);
    if (s.front() == '+') s.remove_prefix(1);
    if (s.empty() || !(std::isdigit(static_cast<unsigned char>(s.front())) || s.front() == '-' || s.front() == '.'))
        return std::nullopt;
    double value = 0;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value, std::chars_format::general);
    if (ec != std::errc() || ptr != s.data() + s.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

frmAttribToShape::frmAttribToShape(const std::string& databaseName, MessageBox& messages)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint),
      messages_(messages) {
    setObjectName(QStringLiteral("frmAttribToShape"));
    setWindowTitle(QStringLiteral("Form1"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFont(ChineseFont(21.75));
    setFixedSize(TwipsRect(0, 0, 5310, 3480).size());

    Label1 = new QLabel(QStringLiteral("图形类型："), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(TwipsRect(360, 600, 2175, 615));

    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    ChooseOnlyFromList(Combo1);  // typing the kind does not choose it
    Combo1->addItem(QStringLiteral("点"));
    Combo1->addItem(QStringLiteral("线"));
    Combo1->setEditText(QStringLiteral("点"));
    Combo1->setGeometry(TwipsRect(2880, 480, 2055, 555));
    connect(Combo1, &QComboBox::activated, this, &frmAttribToShape::Combo1_Click);

    Label2 = new QLabel(QStringLiteral("查找字段ID："), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(TwipsRect(360, 1560, 2775, 495));

    Text1 = new QLineEdit(QStringLiteral("1"), this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(TwipsRect(3000, 1560, 1935, 555));

    Command1 = new QPushButton(QStringLiteral("查询"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(TwipsRect(1320, 2400, 2895, 615));
    Command1->setAutoDefault(false);
    connect(Command1, &QPushButton::clicked, this, &frmAttribToShape::Command1_Click);

    setTabOrder(Combo1, Text1);
    setTabOrder(Text1, Command1);

    Data1.DatabaseName = databaseName;
    Data1.ReadOnly = true;  // a search only reads
    shapeType = 1;
}

void frmAttribToShape::Combo1_Click(int index) { shapeType = index == 0 ? 1 : 2; }

void frmAttribToShape::Command1_Click() {
    try {
        const std::optional<double> id = ParseSearchId(Text1->text().toStdString());
        if (!id) throw DbError(DbError::Kind::TypeMismatch, "ID 不是数字");
        // The ID goes in as a parameter, never as part of the SQL text.
        Data1.RecordSource = shapeType == 1 ? "select * from PointTable where ID=?" : "select * from LineTable where ID=?";
        Data1.Parameters = {DbValue(*id)};
        RunWhileBusy(this, QStringLiteral("正在查询…"), [this] { Data1.Refresh(); });
        Recordset& rs = Data1.Recordset();
        if (rs.RecordCount() > 0) {
            rs.MoveFirst();
            if (shapeType == 1) foundPoint = PointFromRecord(rs);
            else foundLine = LineFromRecordByPosition(rs);
        }
        Data1.Close();
    } catch (const std::exception& e) {
        Data1.Close();
        // A search the user stopped leaves the window as it was, for another try.
        const auto* db = dynamic_cast<const DbError*>(&e);
        if (!db || db->kind() != DbError::Kind::Cancelled) messages_.Show(this, QString::fromUtf8(kCannotQuery));
        return;
    }
    accept();
}
