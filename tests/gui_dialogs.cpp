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
        if (W* w = qobject_cast<W*>(modal)) return act(*w);
        ADD_FAILURE() << "no modal " << W::staticMetaObject.className();
        if (auto* d = qobject_cast<QDialog*>(modal)) d->reject();
    });
}

// Puts a name into the file dialog (a null name keeps the offered one) and
// presses Return in its name box.
void Choose(QFileDialog& dialog, const QString& name) {
    if (!name.isNull()) dialog.selectFile(name);
    QTest::keyClick(dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")), Qt::Key_Return);
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

TEST_F(RealDialogs, ASaveOffersTheLastNameAndAsksInChineseBeforeItReplacesAFile) {
    AddPointRecord(1, 10, 20);
    const QString mdb = dir.filePath("a.mdb");
    QStringList filters;
    WhenModal<QFileDialog>([&](QFileDialog& d) { filters = d.nameFilters(), Choose(d, mdb); });
    Menu("mnuSaveDatasourceFile2");
    EXPECT_EQ(filters, QStringList{"Access 文件(*.mdb)"});
    ASSERT_EQ(form->pFileName, mdb.toStdString());
    const QByteArray database = FileBytes(mdb);

    QString offered, question;
    for (auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        bool dialogStayed = false;
        WhenModal<QFileDialog>([&](QFileDialog& d) {
            offered = d.selectedFiles().value(0), filters = d.nameFilters();
            WhenModal<QMessageBox>([&](QMessageBox& box) { question = box.text(), box.button(answer)->click(); });
            Choose(d, QString());
            dialogStayed = d.isVisible();
            if (dialogStayed) d.reject();  // "否": back in the dialog, which is cancelled
        });
        Menu("mnuSaveTxt");
        EXPECT_EQ(offered, mdb);
        EXPECT_EQ(filters, QStringList{"MYD 绘制文件(*.myd)"});
        EXPECT_EQ(question, "a.mdb 已存在。\n您想要替换它吗？");
        EXPECT_EQ(dialogStayed, answer == QMessageBox::No);
        EXPECT_EQ(FileBytes(mdb), answer == QMessageBox::No ? database : QByteArray("1 1 10 20\r\n"));
    }
    WhenModal<QFileDialog>([&](QFileDialog& d) { Choose(d, dir.filePath("new.myd")); });  // a new name asks nothing
    Menu("mnuSaveTxt");
    EXPECT_EQ(FileBytes(dir.filePath("new.myd")), "1 1 10 20\r\n");
    EXPECT_TRUE(messages->shown.isEmpty());
}

// Chinese button texts and titles; a chosen colour becomes the colour of new
// lines; and Qt's dialogs keep no history or custom colours in the user's
// settings (the test program gives itself a folder standing in for them).
TEST_F(RealDialogs, DialogsSpeakChineseAndNothingOfThemOutlivesTheRun) {
    QString texts;
    WhenModal<QFileDialog>([&](QFileDialog& d) {
        auto* buttons = d.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        texts = d.findChild<QLabel*>(QStringLiteral("lookInLabel"))->text() + buttons->button(QDialogButtonBox::Cancel)->text() +
                buttons->button(QDialogButtonBox::Open)->text();
        d.reject();
    });
    Menu("mnuOpenTxt");
    EXPECT_EQ(texts, "查找范围：取消打开(&O)");
    WhenModal<QColorDialog>([&](QColorDialog& d) {
        texts = d.windowTitle();
        QColorDialog::setCustomColor(0, QColor(1, 2, 3));
        d.setCurrentColor(QColor(10, 20, 30));
        d.accept();
    });
    ToolbarButton(10);
    EXPECT_EQ(texts, "选择颜色");
    EXPECT_EQ(form->lineColor, 10.0f + 256 * 20 + 65536 * 30);
    const QString userSettings = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    ASSERT_TRUE(userSettings.startsWith(QDir::tempPath())) << userSettings.toStdString();
    EXPECT_EQ(QDir(userSettings).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
}
