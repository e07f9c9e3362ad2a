// Qt's own file and colour dialogs as a user meets them: in Chinese, asking
// before a save replaces a file, and keeping nothing for the next run.
#include <QApplication>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "support/mainwindow_fixture.h"
#include "support/sqlite_peek.h"

namespace {

// Runs `act` in the next modal window once it is up; a window of another kind
// is a failure and is closed, so that the test never hangs.
template <class W>
void WhenModal(std::function<void(W&)> act) {
    QTimer::singleShot(0, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        W* w = qobject_cast<W*>(modal);
        if (!w) {
            ADD_FAILURE() << "no modal " << W::staticMetaObject.className();
            if (auto* d = qobject_cast<QDialog*>(modal)) d->reject();
            return;
        }
        act(*w);
    });
}

// Puts a name into the file dialog (a null name keeps the offered one) and
// presses Return in its name box.
void Choose(QFileDialog& dialog, const QString& name) {
    auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_TRUE(edit);
    if (!name.isNull()) dialog.selectFile(name);
    // A question nobody expected fails the test instead of waiting forever.
    QTimer::singleShot(3000, [d = QPointer<QFileDialog>(&dialog)] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!d || !box) return;
        ADD_FAILURE() << "unexpected question: " << box->text().toStdString();
        box->reject();
    });
    QTest::keyClick(edit, Qt::Key_Return);
}

class RealDialogs : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        form->CommonDialog1 = std::make_unique<QtCommonDialog>();
        ASSERT_TRUE(dir.isValid());
    }
    QTemporaryDir dir;
};

}  // namespace

TEST_F(RealDialogs, ASaveAsksInChineseBeforeItReplacesAFile) {
    AddPointRecord(1, 10, 20);
    const QString mdb = dir.filePath("a.mdb");
    WhenModal<QFileDialog>([&](QFileDialog& d) { Choose(d, mdb); });
    form->MenuItem("mnuSaveDatasourceFile2")->trigger();
    ASSERT_EQ(form->pFileName, mdb.toStdString());
    const QByteArray database = FileBytes(mdb);
    ASSERT_TRUE(database.startsWith("SQLite format 3"));

    // "保存文件" offers the database's name; Return asks, and "否" writes nothing.
    QString offered, question;
    bool dialogStayed = false;
    WhenModal<QFileDialog>([&](QFileDialog& d) {
        offered = d.selectedFiles().value(0);
        WhenModal<QMessageBox>([&](QMessageBox& box) {
            question = box.text();
            box.button(QMessageBox::No)->click();
        });
        Choose(d, QString());
        dialogStayed = d.isVisible();
        d.reject();
    });
    form->MenuItem("mnuSaveTxt")->trigger();
    EXPECT_EQ(offered, mdb);
    EXPECT_EQ(question, "a.mdb 已存在。\n您想要替换它吗？");
    EXPECT_TRUE(dialogStayed);
    EXPECT_EQ(FileBytes(mdb), database);
    EXPECT_TRUE(messages->shown.isEmpty());

    // "是" replaces it.
    WhenModal<QFileDialog>([&](QFileDialog& d) {
        WhenModal<QMessageBox>([](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
        Choose(d, QString());
    });
    form->MenuItem("mnuSaveTxt")->trigger();
    EXPECT_EQ(FileBytes(mdb), "1 1 10 20\r\n");

    // A new name asks nothing.
    WhenModal<QFileDialog>([&](QFileDialog& d) { Choose(d, dir.filePath("new.myd")); });
    form->MenuItem("mnuSaveTxt")->trigger();
    EXPECT_EQ(FileBytes(dir.filePath("new.myd")), "1 1 10 20\r\n");
}

TEST_F(RealDialogs, QtsOwnDialogsSpeakChinese) {
    QString lookIn, cancel, open, colourTitle;
    WhenModal<QFileDialog>([&](QFileDialog& d) {
        if (auto* label = d.findChild<QLabel*>(QStringLiteral("lookInLabel"))) lookIn = label->text();
        if (auto* buttons = d.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))) {
            cancel = buttons->button(QDialogButtonBox::Cancel)->text();
            open = buttons->button(QDialogButtonBox::Open)->text();
        }
        d.reject();
    });
    form->MenuItem("mnuOpenTxt")->trigger();
    EXPECT_EQ(lookIn, "查找范围：");
    EXPECT_EQ(cancel, "取消");
    EXPECT_EQ(open, "打开(&O)");

    WhenModal<QColorDialog>([&](QColorDialog& d) {
        colourTitle = d.windowTitle();
        d.reject();
    });
    form->Toolbar1_ButtonClick(10);
    EXPECT_EQ(colourTitle, "选择颜色");
}

TEST_F(RealDialogs, NothingOfTheDialogsOutlivesTheRun) {
    // The test program gives itself a settings folder of its own, standing in
    // for the user's; Qt's dialogs keep their history there unless told otherwise.
    const QString userSettings = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    ASSERT_TRUE(userSettings.startsWith(QDir::tempPath())) << userSettings.toStdString();

    AddPointRecord(1, 0, 0);
    WhenModal<QFileDialog>([&](QFileDialog& d) { Choose(d, dir.filePath("kept.myd")); });
    form->MenuItem("mnuSaveTxt")->trigger();
    ASSERT_TRUE(QFile::exists(dir.filePath("kept.myd")));
    WhenModal<QColorDialog>([](QColorDialog& d) {
        QColorDialog::setCustomColor(0, QColor(1, 2, 3));
        d.setCurrentColor(QColor(10, 20, 30));
        d.accept();
    });
    form->Toolbar1_ButtonClick(10);
    ASSERT_EQ(form->lineColor, 10.0f + 256 * 20 + 65536 * 30);

    EXPECT_EQ(QDir(userSettings).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
}
