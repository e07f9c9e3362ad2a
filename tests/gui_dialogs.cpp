// Qt's own file and colour dialogs as a user meets them (the end-to-end test checks their settings).
#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "support/mainwindow_fixture.h"
#include "support/sqlite_peek.h"

namespace {

// Runs `act` in the next modal window; another kind fails and is closed, so nothing hangs.
template <class W>
void WhenModal(std::function<void(W&)> act) {
    QTimer::singleShot(0, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (W* w = qobject_cast<W*>(modal)) return act(*w);
        ADD_FAILURE() << "no modal " << W::staticMetaObject.className();
        if (auto* d = qobject_cast<QDialog*>(modal)) d->reject();
    });
}

// Puts a name (null: the offered one) into the file dialog and presses Return.
void Choose(QFileDialog& dialog, const QString& name) {
    if (!name.isNull()) dialog.selectFile(name);
    QTest::keyClick(dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")), Qt::Key_Return);
}

}  // namespace

// A save offers the last name, asks in Chinese before replacing it; "否" goes back, writing nothing.
TEST_F(MainWindowTest, RealDialogsAskInChineseBeforeASaveReplacesAFile) {
    form->CommonDialog1 = std::make_unique<QtCommonDialog>();
    QTemporaryDir dir;
    AddPointRecord(1, 10, 20);
    const QString mdb = dir.filePath("a.mdb");
    QStringList seen;
    WhenModal<QFileDialog>([&](QFileDialog& d) { seen = d.nameFilters(), Choose(d, mdb); });
    Menu("mnuSaveDatasourceFile2");
    ASSERT_EQ(form->pFileName, mdb.toStdString());
    const QByteArray database = FileBytes(mdb);
    for (auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        WhenModal<QFileDialog>([&](QFileDialog& d) {
            seen << d.selectedFiles().value(0) << d.nameFilters();
            WhenModal<QMessageBox>([&](QMessageBox& box) { seen << box.text(), box.button(answer)->click(); });
            Choose(d, QString());
            if (d.isVisible()) seen << "stayed", d.reject();
        });
        Menu("mnuSaveTxt");
        EXPECT_EQ(FileBytes(mdb), answer == QMessageBox::No ? database : QByteArray("1 1 10 20\r\n"));
    }
    EXPECT_EQ(seen.join('|'), "Access 文件(*.mdb)|" + mdb + "|MYD 绘制文件(*.myd)|a.mdb 已存在。\n您想要替换它吗？|stayed|" +
                                  mdb + "|MYD 绘制文件(*.myd)|a.mdb 已存在。\n您想要替换它吗？");
    EXPECT_TRUE(messages->shown.isEmpty());

    WhenModal<QColorDialog>([&](QColorDialog& d) { d.setCurrentColor(QColor(10, 20, 30)), d.accept(); });
    ToolbarButton(10);  // the colour chosen in Qt's dialog is the colour of new lines
    EXPECT_EQ(form->lineColor, 10.0f + 256 * 20 + 65536 * 30);
}
