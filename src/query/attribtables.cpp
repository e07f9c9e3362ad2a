#include "query/attribtables.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QToolButton>
#include <algorithm>

#include "model/numtext.h"
#include "platform/busy.h"
#include "platform/fonts.h"
#include "platform/messagebox.h"
#include "query/dbrecord.h"
#include "platform/twips.h"

// ---- RecordsetModel ----

QString RecordsetModel::Text(const DbValue& value) {
    if (value.IsEmpty()) return {};
    if (value.IsText()) return QString::fromStdString(value.Text());
    return QString::number(value.Number(), 'g', 15);
}

int RecordsetModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rs_.RecordCount(); }
int RecordsetModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rs_.FieldCount(); }

QVariant RecordsetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    return Text(rs_.Value(index.row(), index.column()));
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal) return QString::fromStdString(rs_.FieldName(section));
    return QString();  // the record selector column shows no numbers
}

Qt::ItemFlags RecordsetModel::flags(const QModelIndex& index) const {
    return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
}

bool RecordsetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole) return false;
    if (value.toString() != data(index, Qt::EditRole).toString()) {
        emit EditRefused();
        emit dataChanged(index, index);  // the grid shows the stored value again
    }
    return false;
}

// ---- RecordSelector ----

RecordSelector::RecordSelector(QWidget* grid) : QHeaderView(Qt::Vertical, grid) {
    setFixedWidth(TwipsRect(0, 0, 180, 0).width());
    setSectionsClickable(true);
    setHighlightSections(false);
}

// The grid shares its selection model with its headers: its current row is ours.
void RecordSelector::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QHeaderView::currentChanged(current, previous);
    viewport()->update();
}

void RecordSelector::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    QHeaderView::paintSection(painter, rect, logicalIndex);
    if (!selectionModel() || logicalIndex != selectionModel()->currentIndex().row()) return;
    // A small black triangle pointing at the row.
    const int h = std::min(rect.height() - 4, 7) | 1;
    const int w = (h + 1) / 2;
    const QPoint tip(rect.center().x() + w / 2, rect.center().y());
    const QPoint points[3] = {tip, tip + QPoint(-w, -h / 2), tip + QPoint(-w, h / 2)};
    painter->save();
    painter->setClipRect(rect);  // the style leaves an empty clip behind
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(Qt::black);
    painter->setBrush(Qt::black);
    painter->drawPolygon(points, 3);
    painter->restore();
}

// ---- DataNavigator ----

namespace {
// The arrows of the navigation bar, drawn here: the fonts at hand have no
// glyphs for "first" and "last".
QIcon NavigationIcon(int step) {
    QPixmap pixmap(6, 7);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    const bool back = step < 0;
    const bool toEnd = step == -2 || step == 2;
    // A triangle four columns wide and seven rows high, drawn column by
    // column so that it stays crisp; "first" and "last" add a bar.
    const int left = toEnd ? 2 : 1;
    for (int c = 0; c < 4; ++c) {
        const int half = back ? c : 3 - c;
        const int x = back ? left + c : 5 - left - 3 + c;
        p.fillRect(x, 3 - half, 1, 2 * half + 1, Qt::black);
    }
    if (toEnd) p.fillRect(back ? 0 : 5, 0, 1, 7, Qt::black);
    return QIcon(pixmap);
}
}  // namespace

DataNavigator::DataNavigator(const QString& text, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Data1"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto arrow = [this, layout](int step) {
        auto* b = new QToolButton(this);
        b->setIcon(NavigationIcon(step));
        b->setIconSize(QSize(6, 7));
        b->setAutoRaise(false);
        b->setFixedWidth(10);
        connect(b, &QToolButton::clicked, this, [this, step] { emit Move(step); });
        layout->addWidget(b);
    };
    arrow(-2);
    arrow(-1);
    caption = new QLabel(text, this);
    caption->setAlignment(Qt::AlignCenter);
    caption->setFont(ChineseFont(8));
    caption->setMinimumWidth(caption->fontMetrics().horizontalAdvance(text));
    layout->addWidget(caption, 1);
    arrow(+1);
    arrow(+2);
}

// ---- AttribTableWindow ----

namespace {
QTableView* MakeGrid(QWidget* parent, const char* name, QRect twips) {
    auto* grid = new QTableView(parent);
    grid->setObjectName(QString::fromLatin1(name));
    grid->setGeometry(TwipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
    grid->setFont(ChineseFont(9));
    grid->horizontalHeader()->setFont(ChineseFont(9));
    grid->setVerticalHeader(new RecordSelector(grid));
    grid->verticalHeader()->setVisible(true);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 4);
    grid->horizontalHeader()->setFixedHeight(grid->fontMetrics().height() + 6);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed);
    return grid;
}
}  // namespace

AttribTableWindow::AttribTableWindow(const char* name, const char* caption, QSize clientTwips, QRect gridTwips,
                                     const std::string& databaseName, const char* recordSource, MessageBox& messages)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QString::fromLatin1(name));
    setWindowTitle(QString::fromUtf8(caption));
    setFixedSize(TwipsRect(0, 0, clientTwips.width(), clientTwips.height()).size());
    DBGrid1 = MakeGrid(this, "DBGrid1", gridTwips);

    Data1.DatabaseName = databaseName;
    Data1.RecordSource = recordSource;
    Data1.ReadOnly = true;
    try {
        RunWhileBusy(nullptr, QStringLiteral("正在读取数据库…"), [this] { Data1.Refresh(); });
    } catch (const std::exception& e) {
        const auto* db = dynamic_cast<const DbError*>(&e);
        if (db && db->kind() == DbError::Kind::Cancelled) return;  // stopped by the user: the window doesn't open
        QString detail = QString::fromUtf8(e.what());
        if (!databaseName.empty()) detail = QString::fromStdString(databaseName) + QLatin1Char('\n') + detail;
        messages.Show(this, QStringLiteral("不能显示数据"), detail);
        return;
    }
    model_ = new RecordsetModel(Data1.Recordset(), this);
    DBGrid1->setModel(model_);
    connect(DBGrid1, &QTableView::clicked, this, [this](const QModelIndex& index) { ClickRow(index.row()); });
    connect(DBGrid1->verticalHeader(), &QHeaderView::sectionClicked, this, &AttribTableWindow::ClickRow);
    // Whatever moves the grid's row (arrow keys, clicks, the bar) moves the record.
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!current.isValid()) return;
                Data1.Recordset().SetAbsolutePosition(current.row());
                CurrentRowChanged(current.row());
            });
    // The data source is read-only: say so after the grid has closed its editor.
    MessageBox* box = &messages;
    connect(model_, &RecordsetModel::EditRefused, this,
            [this, box] { box->Show(this, QStringLiteral("数据只读，不能修改")); }, Qt::QueuedConnection);
    if (model_->rowCount() > 0) DBGrid1->setCurrentIndex(model_->index(0, 0));
}

void AttribTableWindow::SetCurrentRow(int row) {
    Data1.Recordset().SetAbsolutePosition(row);
    const int column = std::max(0, DBGrid1->currentIndex().column());
    DBGrid1->setCurrentIndex(model_->index(row, column));
}

void AttribTableWindow::ClickRow(int row) {
    if (!model_ || row < 0 || row >= model_->rowCount()) return;  // nothing is current in an empty table
    SetCurrentRow(row);
    DBGrid1_Click();
}

// ---- frmAllPntAttrib ----

frmAllPntAttrib::frmAllPntAttrib(const std::string& databaseName, MessageBox& messages,
                                 std::function<void(const CPoint&)> onPick)
    : AttribTableWindow("frmAllPntAttrib", "点属性表", {6675, 3930}, {120, 0, 6495, 3855}, databaseName,
                        "select * from PointTable", messages),
      onPick_(std::move(onPick)) {
    MSFlexGrid1 = MakeGrid(this, "MSFlexGrid1", {2640, 480, 2175, 1215});
    MSFlexGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Data1Bar = new DataNavigator(QStringLiteral("Data1"), this);
    Data1Bar->setGeometry(TwipsRect(2520, 2520, 1140, 285));
    if (!Opened()) return;
    MSFlexGrid1->setModel(model_);
    MSFlexGrid1->setCurrentIndex(DBGrid1->currentIndex());
    // The bar moves the current record, and with it the current row of both grids.
    connect(Data1Bar, &DataNavigator::Move, this, [this](int step) {
        const int count = model_->rowCount();
        if (count == 0) return;
        const int current = Data1.Recordset().AbsolutePosition();
        const int row = step == -2 ? 0 : step == 2 ? count - 1 : std::clamp(current + step, 0, count - 1);
        SetCurrentRow(row);
    });
}

void frmAllPntAttrib::CurrentRowChanged(int row) {
    if (MSFlexGrid1->model()) MSFlexGrid1->setCurrentIndex(model_->index(row, 0));
}

void frmAllPntAttrib::DBGrid1_Click() {
    CPoint picked;
    try {
        picked = PointFromRecord(Data1.Recordset());
    } catch (const std::exception&) {
        picked.pntNO = -1.0f;  // an unreadable row highlights nothing
    }
    onPick_(picked);
}

// ---- frmAllLineAttrib ----

frmAllLineAttrib::frmAllLineAttrib(const std::string& databaseName, MessageBox& messages,
                                   std::function<void(const CLine&)> onPick)
    : AttribTableWindow("frmAllLineAttrib", "Form1", {7650, 3570}, {120, 120, 7335, 3255}, databaseName,
                        "select * from LineTable", messages),
      onPick_(std::move(onPick)) {}

void frmAllLineAttrib::DBGrid1_Click() {
    CLine picked;
    try {
        picked = LineFromRecordByName(Data1.Recordset());
    } catch (const std::exception&) {
        picked.ID = -1.0f;
    }
    onPick_(picked);
}
