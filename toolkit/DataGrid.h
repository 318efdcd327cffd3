#pragma once
// A grid over a record set, read-only unless made editable. The model asks
// the record set only for the rows the view paints, so a grid on 100,000 rows
// costs no more than one on a hundred.
//
// An editable grid writes typed values into the record set's current row and
// shows a row being inserted after the last one; the record set posts the row
// when the grid's cursor leaves it, or when the owner calls postPending().
#include <QAbstractTableModel>
#include <QPointer>
#include <QTableView>

#include "toolkit/RecordSource.h"

namespace toolkit {

struct GridColumn {
    QString field;
    int width = 64;
    bool checkBox = false;
};

class RecordSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RecordSetModel(QObject* parent = nullptr);

    void setSource(RecordSource* source);
    RecordSource* source() const { return source_; }

    void clearColumns();
    void addColumn(const GridColumn& c);
    void setCheckBox(int column, bool on);
    const QList<GridColumn>& columns() const { return columns_; }

    // Off by default: cells take typed values only when switched on.
    void setEditable(bool on);
    bool editable() const { return editable_; }
    // True while the row after the last one stands for a row being inserted.
    bool showsPendingRow() const { return pendingShown_; }
    bool isPendingRow(int row) const { return pendingShown_ && source_ && row == source_->recordCount(); }
    // True once a value was typed into the shown pending row.
    bool pendingRowTouched() const { return pendingShown_ && pendingTouched_; }
    // True while the record set is taking a row out: the view moves its own
    // current index then, which must not move the record set's cursor.
    bool removingRow() const { return removing_; }
    // Most characters the field of a column can store; 0 for no limit.
    int fieldSizeOf(int column) const { return source_ ? source_->fieldSize(sourceField(column)) : 0; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Refused values are shown in the error box and leave the row as it was.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // A read of the record set failed while the view was painting (a lost
    // server, a locked file). Until retryReads(), the view shows what the
    // record set holds in memory and reads nothing more, and readFailed is
    // emitted once, after the painting.
    bool readsFailed() const { return readFailed_; }
    void retryReads() { readFailed_ = false; }

signals:
    void readFailed(const QString& text);

private:
    int sourceField(int column) const;
    // One cell as text or value; false (and nothing read) after a failure.
    bool cell(int row, int field, bool text, QVariant* out) const;
    void refreshFieldMap();
    void syncPendingRow();

    QPointer<RecordSource> source_;
    QList<GridColumn> columns_;
    QList<int> fieldOfColumn_;
    bool editable_ = false;
    bool pendingShown_ = false;
    bool posting_ = false;  // the pending row is becoming a stored row
    bool pendingTouched_ = false;
    bool removing_ = false;
    mutable bool readFailed_ = false;
};

class DataGrid : public QTableView {
    Q_OBJECT
public:
    explicit DataGrid(QWidget* parent = nullptr);

    void setDataSource(DataSource* ds);
    DataSource* dataSource() const { return dataSource_; }

    void clearColumns();
    void addColumn(const QString& field, int width);
    void setCheckBoxColumn(int column, bool on = true);
    int columnCountShown() const { return model_->columnCount(); }
    RecordSetModel* recordModel() const { return model_; }

    // Lets the user type into cells (see the note at the top).
    void setEditable(bool on);
    bool editable() const { return model_->editable(); }
    // Writes an open cell editor into the record set, then posts the pending
    // row; a new row nothing was typed into is dropped instead. A refusal is
    // shown in the error box; returns false then, and the change stays pending.
    bool postPending();
    // Closes an open cell editor without keeping its text and drops the
    // pending change of the record set.
    void cancelPending();
    // After a failed read, reads again what is shown (the user's next action does it).
    void retryReads();

signals:
    void doubleClickedRow();

protected:
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void bind();
    void followSource(int row);
    void showPendingRow();
    QWidget* openEditor() const;
    // Drops a new row that nothing was typed into; true if there was one.
    bool dropUntouchedRow();

    RecordSetModel* model_;
    QPointer<DataSource> dataSource_;
    bool syncing_ = false;
};

}  // namespace toolkit
