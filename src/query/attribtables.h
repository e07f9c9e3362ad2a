#pragma once
#include <QAbstractTableModel>
#include <QDialog>
#include <QHeaderView>
#include <QTableView>
#include <functional>
#include <string>

#include "model/records.h"
#include "platform/database.h"

class QLabel;
class QToolButton;
class MessageBox;

// The rows of a recordset for a grid: one column per field, headed by its
// name. A cell can be edited in the grid, but the recordset is read-only: an
// edit that changes the value is refused (EditRefused), and the cell shows the
// stored value again.
class RecordsetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RecordsetModel(const Recordset& rs, QObject* parent = nullptr) : QAbstractTableModel(parent), rs_(rs) {}

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    static QString Text(const DbValue& value);

signals:
    void EditRefused();

private:
    const Recordset& rs_;
};

// The record selector: a narrow column before the rows with a marker on the
// current row.
class RecordSelector : public QHeaderView {
    Q_OBJECT
public:
    explicit RecordSelector(QWidget* grid);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
};

// A record navigation bar: first, previous, caption, next, last.
class DataNavigator : public QWidget {
    Q_OBJECT
public:
    DataNavigator(const QString& caption, QWidget* parent);
    QLabel* caption = nullptr;
signals:
    void Move(int step);  // -2 first, -1 previous, +1 next, +2 last
};

// What both table windows share: the data control, the grid, the click.
class AttribTableWindow : public QDialog {
    Q_OBJECT
public:
    // False when the data could not be opened; the window then has shown its
    // message and must not be shown.
    bool Opened() const { return model_ != nullptr; }

    Data Data1;
    QTableView* DBGrid1 = nullptr;

    // Makes the row current, as a click on it does, and runs the click.
    void ClickRow(int row);

protected:
    AttribTableWindow(const char* name, const char* caption, QSize clientTwips, QRect gridTwips,
                      const std::string& databaseName, const char* recordSource, MessageBox& messages);
    // The grid's current row and Data1's current record move together.
    void SetCurrentRow(int row);
    virtual void CurrentRowChanged(int) {}
    virtual void DBGrid1_Click() = 0;
    RecordsetModel* model_ = nullptr;
};

class frmAllPntAttrib : public AttribTableWindow {
    Q_OBJECT
public:
    // `onPick` gets the clicked point.
    frmAllPntAttrib(const std::string& databaseName, MessageBox& messages, std::function<void(const CPoint&)> onPick);

    QTableView* MSFlexGrid1 = nullptr;  // a second, display-only grid on the same data
    DataNavigator* Data1Bar = nullptr;   // the visible bar of Data1

protected:
    void CurrentRowChanged(int row) override;
    void DBGrid1_Click() override;

private:
    std::function<void(const CPoint&)> onPick_;
};

class frmAllLineAttrib : public AttribTableWindow {
    Q_OBJECT
public:
    frmAllLineAttrib(const std::string& databaseName, MessageBox& messages, std::function<void(const CLine&)> onPick);

protected:
    void DBGrid1_Click() override;

private:
    std::function<void(const CLine&)> onPick_;
};
