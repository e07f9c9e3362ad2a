#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextLayout>
#include <QGlyphRun>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "query/attribtables.h"
#include "query/frmattribtoshape.h"
#include "support/mainwindow_fixture.h"
#include "support/sqlite_peek.h"

namespace {

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const char* const kCannotQuery = "不能查询，请先将图形保存到数据库中，然后再查询";

class Query : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        form->Timer1->stop();  // the start-up blink must not refresh in the middle of a test
    }

    QString Path(const QString& name) const { return dir.filePath(name); }

    // Points 1, 2, 3 and lines 1, 2 saved through the menu; the file becomes pFileName.
    QString SaveSample() {
        AddPointRecord(1, -40, 20);
        AddPointRecord(2, 10, -5);
        AddPointRecord(3, 50, 30);
        AddLineRecord(1, -60, -40, -20, -40, 65535);
        AddLineRecord(2, 0.5f, -30, 60, -60, 255);
        const QString file = Path("drawing.mdb");
        dialog->fileAnswers.push_back(file);
        form->MenuItem("mnuSaveDatasourceFile2")->trigger();
        EXPECT_EQ(QString::fromStdString(form->pFileName), file);
        return file;
    }

    // Runs `act` inside the next modal window, which must be a W; closes the
    // window afterwards if `act` left it open, so the test never hangs.
    template <class W>
    void InModal(std::function<void(W&)> act) {
        QTimer::singleShot(0, [act] {
            QWidget* modal = QApplication::activeModalWidget();
            W* w = qobject_cast<W*>(modal);
            if (!w) {
                ADD_FAILURE() << "no modal window of the expected kind";
                if (auto* d = qobject_cast<QDialog*>(modal)) d->reject();
                return;
            }
            act(*w);
            if (w->isVisible()) w->reject();
        });
    }

    // One search: set the window up with `prepare`, then press "查询".
    void Search(const QString& id, std::function<void(frmAttribToShape&)> prepare = {},
                std::function<void(frmAttribToShape&)> after = {}) {
        InModal<frmAttribToShape>([=](frmAttribToShape& w) {
            if (prepare) prepare(w);
            w.Text1->setText(id);
            QTest::mouseClick(w.Command1, Qt::LeftButton);
            if (after) after(w);
        });
        form->MenuItem("mnuAttribToShape")->trigger();
    }

    static void ChooseFromList(QComboBox* combo, int row) {
        combo->showPopup();
        QAbstractItemView* view = combo->view();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(row, 0)).center());
    }

    QColor BlinkAt(double x, double y) {
        form->Timer1_Timer();
        return PixelAtWorld(x, y);
    }

    QTemporaryDir dir;
};

}  // namespace

TEST(SearchId, OnlyAWholeNumberIsAnId) {
    EXPECT_EQ(ParseSearchId("3"), 3.0);
    EXPECT_EQ(ParseSearchId(" 3 "), 3.0);
    EXPECT_EQ(ParseSearchId("-2"), -2.0);
    EXPECT_EQ(ParseSearchId("+7"), 7.0);
    EXPECT_EQ(ParseSearchId("1.5E1"), 15.0);
    for (const char* bad : {"", "  ", "abc", "1 or 1=1", "1;drop table PointTable", "3abc", "inf", "nan", "1e999",
                            "0x10", "--1", "'1'"})
        EXPECT_FALSE(ParseSearchId(bad).has_value()) << bad;
}

TEST_F(Query, SearchWindowLayout) {
    int openings = 0;
    for (int round = 0; round < 2; ++round) {
        InModal<frmAttribToShape>([&](frmAttribToShape& w) {
            ++openings;
            EXPECT_EQ(w.windowTitle(), "Form1");
            EXPECT_EQ(w.size(), QSize(354, 232));
            EXPECT_EQ(w.font().pointSizeF(), 21.75);
            EXPECT_EQ(w.parentWidget(), nullptr);
            EXPECT_TRUE(w.isModal());
            EXPECT_EQ(w.Label1->text(), "图形类型：");
            EXPECT_EQ(w.Label1->geometry(), QRect(24, 40, 145, 41));
            EXPECT_EQ(w.Label2->text(), "查找字段ID：");
            EXPECT_EQ(w.Combo1->count(), 2);
            EXPECT_EQ(w.Combo1->itemText(0), "点");
            EXPECT_EQ(w.Combo1->itemText(1), "线");
            EXPECT_EQ(w.Combo1->currentText(), "点");
            EXPECT_EQ(w.Combo1->geometry().topLeft(), QPoint(192, 32));
            EXPECT_EQ(w.Text1->text(), "1");
            EXPECT_EQ(w.Text1->geometry(), QRect(200, 104, 129, 37));
            EXPECT_EQ(w.Command1->text(), "查询");
            EXPECT_EQ(w.Command1->geometry(), QRect(88, 160, 193, 41));
            EXPECT_EQ(w.shapeType, 1);
            w.Combo1_Click(1);  // a choice made in one opening is not kept for the next
            EXPECT_EQ(w.shapeType, 2);
            // Tab order: Combo1, Text1, Command1.
            EXPECT_EQ(NextTabStop(w.Combo1), w.Text1);
            EXPECT_EQ(NextTabStop(w.Text1), w.Command1);
        });
        form->MenuItem("mnuAttribToShape")->trigger();
    }
    EXPECT_EQ(openings, 2);
}

TEST_F(Query, FoundPointBlinksWhereTheDatabaseHasIt) {
    SaveSample();
    form->pntArray.Item(2)->X = 90;  // moved after the save: the database still has (10, -5)
    form->Refresh();
    Search(" 2 ");
    EXPECT_EQ(form->selectedPoint.pntNO, 2.0f);
    EXPECT_EQ(form->selectedPoint.X, 10.0f);
    EXPECT_EQ(form->selectedPoint.Y, -5.0f);
    EXPECT_EQ(form->selectedLine.ID, -1.0f);
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_EQ(form->ntTimeCount, 0);
    EXPECT_TRUE(messages->shown.isEmpty());
    const QColor first = BlinkAt(10, -5);
    EXPECT_TRUE(first == kRed || first == kGreen);
    const QColor second = BlinkAt(10, -5);
    EXPECT_EQ(second, first == kRed ? kGreen : kRed);
    EXPECT_NE(PixelAtWorld(90, -5), first);
}

TEST_F(Query, LineChosenFromTheListIsReadFromItsTextColumns) {
    SaveSample();
    form->lineArray.Clear();  // deleted from the drawing: it still blinks
    form->Refresh();
    Search("2", [](frmAttribToShape& w) { ChooseFromList(w.Combo1, 1); });
    EXPECT_EQ(form->selectedLine.ID, 2.0f);
    EXPECT_EQ(form->selectedLine.sp.X, 0.5f);
    EXPECT_EQ(form->selectedLine.sp.Y, -30.0f);
    EXPECT_EQ(form->selectedLine.ep.X, 60.0f);
    EXPECT_EQ(form->selectedLine.ep.Y, -60.0f);
    EXPECT_EQ(form->selectedLine.color, 255.0f);
    EXPECT_EQ(form->selectedPoint.pntNO, -1.0f);
    EXPECT_TRUE(form->Timer1->isActive());
    const QColor c = BlinkAt(30.25, -45);
    EXPECT_TRUE(c == kRed || c == kGreen);
}

TEST_F(Query, TypingTheKindWithoutChoosingStillSearchesPoints) {
    SaveSample();
    Search("1", [](frmAttribToShape& w) { w.Combo1->setEditText("线"); });
    EXPECT_EQ(form->selectedPoint.pntNO, 1.0f);
    EXPECT_EQ(form->selectedPoint.X, -40.0f);
    EXPECT_EQ(form->selectedLine.ID, -1.0f);
}

TEST_F(Query, TypingTheKindAndLeavingTheBoxStillSearchesPoints) {
    SaveSample();
    for (Qt::Key leave : {Qt::Key_Tab, Qt::Key_Return}) {
        int16_t kind = 0;
        Search("1", [leave](frmAttribToShape& w) {
            w.activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
            QLineEdit* edit = w.Combo1->lineEdit();
            edit->setFocus();
            edit->selectAll();
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QStringLiteral("线"), Qt::NoModifier);
            ASSERT_EQ(w.Combo1->currentText(), "线");
            QTest::keyClick(edit, leave);
        }, [&](frmAttribToShape& w) { kind = w.shapeType; });
        EXPECT_EQ(kind, 1) << leave;
        EXPECT_EQ(form->selectedPoint.pntNO, 1.0f) << leave;
        EXPECT_EQ(form->selectedPoint.X, -40.0f) << leave;
        EXPECT_EQ(form->selectedLine.ID, -1.0f) << leave;
    }
}

TEST_F(Query, AnIdNotInTheTableClosesSilentlyAndStopsTheEarlierBlink) {
    SaveSample();
    Search("3");
    ASSERT_EQ(form->selectedPoint.pntNO, 3.0f);
    form->ntTimeCount = 7;
    bool closed = false;
    Search("99", {}, [&](frmAttribToShape& w) { closed = !w.isVisible(); });
    EXPECT_TRUE(closed);
    EXPECT_TRUE(messages->shown.isEmpty());
    EXPECT_EQ(form->selectedPoint.pntNO, -1.0f);
    EXPECT_EQ(form->selectedLine.ID, -1.0f);
    EXPECT_EQ(form->ntTimeCount, 7);  // not restarted
    const QImage before = canvas().Screen().copy();
    form->Timer1_Timer();
    EXPECT_EQ(canvas().Screen(), before);  // the timer draws nothing any more

    // Closing the window without a search stops a blink too.
    Search("1");
    ASSERT_EQ(form->selectedPoint.pntNO, 1.0f);
    InModal<frmAttribToShape>([](frmAttribToShape& w) { w.reject(); });
    form->MenuItem("mnuAttribToShape")->trigger();
    EXPECT_EQ(form->selectedPoint.pntNO, -1.0f);
}

TEST_F(Query, EveryFailureKeepsTheWindowOpenWithTheMessage) {
    auto expectRefused = [&](const QString& id, int kind, const char* what) {
        messages->shown.clear();
        messages->details.clear();
        bool stillOpen = false;
        QString kept;
        Search(id, [kind](frmAttribToShape& w) { w.Combo1_Click(kind); },
               [&](frmAttribToShape& w) {
                   stillOpen = w.isVisible();
                   kept = w.Text1->text();
               });
        EXPECT_TRUE(stillOpen) << what;
        EXPECT_EQ(kept, id) << what;
        EXPECT_EQ(messages->shown, QStringList{kCannotQuery}) << what;
        EXPECT_EQ(form->selectedPoint.pntNO, -1.0f) << what;
        EXPECT_EQ(form->selectedLine.ID, -1.0f) << what;
    };
    expectRefused("1", 0, "no database yet");
    form->pFileName = Path("missing.mdb").toStdString();
    expectRefused("1", 0, "missing file");
    EXPECT_FALSE(QFile::exists(Path("missing.mdb")));  // a search never creates a file
    WriteBytes(Path("text.mdb"), "1 1 0 0\r\n");
    form->pFileName = Path("text.mdb").toStdString();
    expectRefused("1", 0, "not a database");
    Peek(Path("points-only.mdb"), "create table PointTable (ID smallint, X text, Y text);"
                                  "insert into PointTable values (1, '2', '3');");
    form->pFileName = Path("points-only.mdb").toStdString();
    expectRefused("1", 1, "no LineTable");

    SaveSample();
    for (const char* bad : {"abc", "", "1 or 1=1", "1; delete from PointTable"}) expectRefused(bad, 0, bad);
    EXPECT_EQ(PeekCount(QString::fromStdString(form->pFileName), "PointTable"), 3);
}

TEST_F(Query, AnEmptyValueInTheFoundRecordIsRefused) {
    const QString file = Path("nulls.mdb");
    Peek(file, "create table PointTable (ID smallint, X text, Y text);"
               "insert into PointTable values (4, null, '1');");
    form->pFileName = file.toStdString();
    bool stillOpen = false;
    Search("4", {}, [&](frmAttribToShape& w) { stillOpen = w.isVisible(); });
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(messages->shown, QStringList{kCannotQuery});
    EXPECT_EQ(form->selectedPoint.pntNO, -1.0f);  // nothing half-copied
}

TEST_F(Query, PointTableListsTheDatabaseAndAClickedRowBlinks) {
    SaveSample();
    form->pntArray.Item(2)->Y = 70;  // not saved again
    form->selectedLine.ID = 5;       // an earlier line highlight
    form->Refresh();
    InModal<frmAllPntAttrib>([&](frmAllPntAttrib& w) {
        EXPECT_EQ(w.windowTitle(), "点属性表");
        EXPECT_EQ(w.size(), QSize(445, 262));
        EXPECT_EQ(w.DBGrid1->geometry(), QRect(8, 0, 433, 257));
        EXPECT_EQ(w.MSFlexGrid1->geometry(), QRect(176, 32, 145, 81));
        EXPECT_EQ(w.Data1Bar->geometry(), QRect(168, 168, 76, 19));
        EXPECT_EQ(w.Data1Bar->caption->text(), "Data1");
        EXPECT_TRUE(w.Data1Bar->isVisible());
        EXPECT_TRUE(w.DBGrid1->verticalHeader()->isVisible());
        EXPECT_EQ(w.DBGrid1->font().pointSizeF(), 9.0);
        QAbstractItemModel* m = w.DBGrid1->model();
        ASSERT_EQ(m->rowCount(), 3);
        ASSERT_EQ(m->columnCount(), 3);
        EXPECT_EQ(m->headerData(0, Qt::Horizontal).toString(), "ID");
        EXPECT_EQ(m->headerData(1, Qt::Horizontal).toString(), "X");
        EXPECT_EQ(m->headerData(2, Qt::Horizontal).toString(), "Y");
        EXPECT_EQ(m->index(1, 0).data().toString(), "2");
        EXPECT_EQ(m->index(1, 1).data().toString(), "10");
        EXPECT_EQ(m->index(1, 2).data().toString(), "-5");

        // Click row 2 as a user does.
        QTest::mouseClick(w.DBGrid1->viewport(), Qt::LeftButton, {}, w.DBGrid1->visualRect(m->index(1, 1)).center());
        EXPECT_EQ(form->selectedPoint.pntNO, 2.0f);
        EXPECT_EQ(form->selectedPoint.X, 10.0f);
        EXPECT_EQ(form->selectedPoint.Y, -5.0f);
        EXPECT_EQ(form->selectedLine.ID, -1.0f);
        EXPECT_EQ(form->ntTimeCount, 0);
        EXPECT_TRUE(form->Timer1->isActive());
        // The main window's timer runs behind the modal table.
        EXPECT_TRUE(QTest::qWaitFor([&] { return form->ntTimeCount >= 1; }, 5000));
        const QColor c = PixelAtWorld(10, -5);
        EXPECT_TRUE(c == kRed || c == kGreen);

        // A second row moves the blink and starts the count again.
        form->Timer1->stop();
        QTest::mouseClick(w.DBGrid1->viewport(), Qt::LeftButton, {}, w.DBGrid1->visualRect(m->index(2, 0)).center());
        EXPECT_EQ(form->selectedPoint.pntNO, 3.0f);
        EXPECT_EQ(form->ntTimeCount, 0);
        const QColor moved = BlinkAt(50, 30);
        EXPECT_TRUE(moved == kRed || moved == kGreen);

        // The bar moves the current row of both grids, and a move alone blinks nothing.
        QTest::mouseClick(w.Data1Bar->findChildren<QToolButton*>().at(0), Qt::LeftButton);
        EXPECT_EQ(w.DBGrid1->currentIndex().row(), 0);
        EXPECT_EQ(w.MSFlexGrid1->currentIndex().row(), 0);
        EXPECT_EQ(form->selectedPoint.pntNO, 3.0f);
    });
    form->MenuItem("mnuShowPointData")->trigger();
}

namespace {
// Pixels of a widget's picture that are nearly black: a marker or a glyph.
int DarkPixels(QWidget* w, QRect area = {}) {
    const QImage img = w->grab(area.isNull() ? w->rect() : area).toImage();
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += qGray(img.pixel(x, y)) < 80;
    return n;
}

// Whether every character of `text` has a glyph in `font` or in a fallback face.
bool EveryGlyphFound(const QString& text, const QFont& font) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    for (const QGlyphRun& run : layout.glyphRuns())
        for (quint32 glyph : run.glyphIndexes())
            if (glyph == 0) return false;
    return true;
}
}  // namespace

TEST_F(Query, RecordSelectorMarksTheCurrentRowAndArrowKeysMoveTheRecord) {
    SaveSample();
    form->Timer1->stop();
    InModal<frmAllPntAttrib>([&](frmAllPntAttrib& w) {
        QHeaderView* selector = w.DBGrid1->verticalHeader();
        EXPECT_GE(selector->width(), 10);
        EXPECT_LE(selector->width(), 16);
        auto marked = [&](int row) {
            return DarkPixels(selector, QRect(0, selector->sectionViewportPosition(row), selector->width(),
                                              selector->sectionSize(row))) > 0;
        };
        EXPECT_TRUE(marked(0));
        EXPECT_FALSE(marked(1));

        // A click on the selector acts as a click on its row.
        QTest::mouseClick(selector->viewport(), Qt::LeftButton, {},
                          QPoint(selector->width() / 2, selector->sectionViewportPosition(2) + selector->sectionSize(2) / 2));
        EXPECT_EQ(form->selectedPoint.pntNO, 3.0f);
        EXPECT_TRUE(form->Timer1->isActive());
        EXPECT_EQ(w.Data1.Recordset().AbsolutePosition(), 2);
        EXPECT_TRUE(marked(2));
        EXPECT_FALSE(marked(0));

        // The arrow keys move Data1's record with the row, and blink nothing.
        form->Timer1->stop();
        QTest::keyClick(w.DBGrid1, Qt::Key_Up);
        EXPECT_EQ(w.DBGrid1->currentIndex().row(), 1);
        EXPECT_EQ(w.Data1.Recordset().AbsolutePosition(), 1);
        EXPECT_EQ(w.MSFlexGrid1->currentIndex().row(), 1);
        EXPECT_TRUE(marked(1));
        EXPECT_EQ(form->selectedPoint.pntNO, 3.0f);
        EXPECT_FALSE(form->Timer1->isActive());
        w.ClickRow(w.DBGrid1->currentIndex().row());
        EXPECT_EQ(form->selectedPoint.pntNO, 2.0f);
    });
    form->MenuItem("mnuShowPointData")->trigger();
}

TEST_F(Query, NavigationBarShowsItsCaptionAndArrowsThatDraw) {
    SaveSample();
    InModal<frmAllPntAttrib>([&](frmAllPntAttrib& w) {
        QLabel* caption = w.Data1Bar->caption;
        EXPECT_GE(caption->contentsRect().width(), caption->fontMetrics().horizontalAdvance("Data1"));
        EXPECT_LE(w.Data1Bar->width(), 80);
        const auto buttons = w.Data1Bar->findChildren<QToolButton*>();
        ASSERT_EQ(buttons.size(), 4);
        for (QToolButton* b : buttons) {
            EXPECT_TRUE(b->text().isEmpty() ? !b->icon().isNull() : EveryGlyphFound(b->text(), b->font()))
                << b->text().toStdString();
            EXPECT_GT(DarkPixels(b), 4) << b->text().toStdString();
        }
        QTest::mouseClick(buttons.at(3), Qt::LeftButton);  // last
        EXPECT_EQ(w.Data1.Recordset().AbsolutePosition(), 2);
        QTest::mouseClick(buttons.at(1), Qt::LeftButton);  // previous
        EXPECT_EQ(w.Data1.Recordset().AbsolutePosition(), 1);
        EXPECT_EQ(w.DBGrid1->currentIndex().row(), 1);
    });
    form->MenuItem("mnuShowPointData")->trigger();
}

TEST_F(Query, LineTableClickBlinksTheLineAndStopsThePoint) {
    SaveSample();
    form->selectedPoint.pntNO = 1;
    InModal<frmAllLineAttrib>([&](frmAllLineAttrib& w) {
        EXPECT_EQ(w.windowTitle(), "Form1");
        EXPECT_EQ(w.size(), QSize(510, 238));
        EXPECT_EQ(w.DBGrid1->geometry(), QRect(8, 8, 489, 217));
        QAbstractItemModel* m = w.DBGrid1->model();
        ASSERT_EQ(m->rowCount(), 2);
        const char* headers[6] = {"ID", "X1", "Y1", "X2", "Y2", "Color"};
        for (int i = 0; i < 6; ++i) EXPECT_EQ(m->headerData(i, Qt::Horizontal).toString(), headers[i]);
        EXPECT_EQ(m->index(1, 1).data().toString(), " .5");
        QTest::mouseClick(w.DBGrid1->viewport(), Qt::LeftButton, {}, w.DBGrid1->visualRect(m->index(1, 3)).center());
    });
    form->MenuItem("mnuShowLineData")->trigger();
    EXPECT_EQ(form->selectedLine.ID, 2.0f);
    EXPECT_EQ(form->selectedLine.sp.X, 0.5f);
    EXPECT_EQ(form->selectedLine.ep.Y, -60.0f);
    EXPECT_EQ(form->selectedLine.color, 255.0f);
    EXPECT_EQ(form->selectedPoint.pntNO, -1.0f);
    EXPECT_EQ(form->ntTimeCount, 0);
    const QColor c = BlinkAt(30.25, -45);
    EXPECT_TRUE(c == kRed || c == kGreen);
}

TEST_F(Query, EditingACellNeverReachesTheDatabase) {
    const QString file = SaveSample();
    const QByteArray before = FileBytes(file);
    InModal<frmAllPntAttrib>([&](frmAllPntAttrib& w) {
        QAbstractItemModel* m = w.DBGrid1->model();
        const QModelIndex cell = m->index(0, 1);
        w.DBGrid1->setCurrentIndex(cell);
        w.DBGrid1->edit(cell);
        auto* editor = w.DBGrid1->viewport()->findChild<QLineEdit*>();
        ASSERT_TRUE(editor);
        editor->selectAll();
        QTest::keyClicks(editor, "777");
        QTest::keyClick(editor, Qt::Key_Return);
        // The grid commits the edit on its next turn; the refusal follows.
        EXPECT_TRUE(QTest::qWaitFor([&] { return !messages->shown.isEmpty(); }, 2000));
        // The edit is refused with a message, and the cell shows the stored value again.
        EXPECT_EQ(m->index(0, 1).data().toString(), "-40");
        EXPECT_EQ(messages->shown, QStringList{"数据只读，不能修改"});
        w.ClickRow(0);
        EXPECT_EQ(form->selectedPoint.X, -40.0f);
        QTest::keyClick(w.DBGrid1, Qt::Key_Down);  // leave the row
        // Typing the stored value again changes nothing and is no refusal.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // the old editor
        w.DBGrid1->edit(cell);
        editor = w.DBGrid1->viewport()->findChild<QLineEdit*>();
        ASSERT_TRUE(editor);
        QTest::keyClick(editor, Qt::Key_Return);
        QTest::qWait(50);
        EXPECT_EQ(messages->shown.size(), 1);
    });
    form->MenuItem("mnuShowPointData")->trigger();
    EXPECT_EQ(FileBytes(file), before);
    EXPECT_EQ(Peek(file, "select X from PointTable where ID=1")[0][0].text, "-40");
}

TEST_F(Query, TablesThatCannotOpenTheirDataCloseWithAMessage) {
    int shown = 0;
    auto expectClosed = [&](const char* item, const char* what) {
        messages->shown.clear();
        messages->details.clear();
        QTimer::singleShot(0, [&] {
            if (QApplication::activeModalWidget()) {
                ++shown;
                qobject_cast<QDialog*>(QApplication::activeModalWidget())->reject();
            }
        });
        form->MenuItem(item)->trigger();
        QCoreApplication::processEvents();
        EXPECT_EQ(messages->shown.size(), 1) << what;
        EXPECT_EQ(messages->shown.value(0), "不能显示数据") << what;
        EXPECT_FALSE(messages->details.value(0).isEmpty()) << what;
    };
    expectClosed("mnuShowPointData", "no database yet");
    form->pFileName = Path("missing.mdb").toStdString();
    expectClosed("mnuShowLineData", "missing file");
    WriteBytes(Path("text.mdb"), "plain text");
    form->pFileName = Path("text.mdb").toStdString();
    expectClosed("mnuShowPointData", "not a database");
    Peek(Path("lines-only.mdb"), "create table LineTable (ID smallint);");
    form->pFileName = Path("lines-only.mdb").toStdString();
    expectClosed("mnuShowPointData", "no PointTable");
    EXPECT_EQ(shown, 0);
    EXPECT_TRUE(form->isVisible());
}

TEST_F(Query, UnreadableRowsAndEmptyTablesHighlightNothing) {
    const QString file = Path("odd.mdb");
    Peek(file, "create table PointTable (ID smallint, X text, Y text);"
               "insert into PointTable values (1, null, '2');"
               "create table LineTable (ID smallint, X1 text, Y1 text, X2 text, Y2 text, Color double);");
    form->pFileName = file.toStdString();
    form->selectedPoint.pntNO = 8;
    InModal<frmAllPntAttrib>([&](frmAllPntAttrib& w) { w.ClickRow(0); });
    form->MenuItem("mnuShowPointData")->trigger();
    EXPECT_EQ(form->selectedPoint.pntNO, -1.0f);
    EXPECT_FALSE(form->Timer1->isActive());

    form->selectedPoint.pntNO = 8;
    InModal<frmAllLineAttrib>([&](frmAllLineAttrib& w) {
        EXPECT_EQ(w.DBGrid1->model()->rowCount(), 0);
        w.ClickRow(0);
        QTest::mouseClick(w.DBGrid1->viewport(), Qt::LeftButton, {}, QPoint(50, 50));
    });
    form->MenuItem("mnuShowLineData")->trigger();
    EXPECT_EQ(form->selectedPoint.pntNO, 8.0f);  // nothing happened
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_TRUE(messages->shown.isEmpty());
}

TEST_F(Query, ClosingTheMainWindowClosesARunningQueryWindow) {
    SaveSample();
    InModal<frmAllLineAttrib>([&](frmAllLineAttrib& w) {
        form->close();
        EXPECT_FALSE(w.isVisible());
    });
    form->MenuItem("mnuShowLineData")->trigger();
    EXPECT_FALSE(form->isVisible());
}
