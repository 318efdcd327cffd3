#pragma once
// A read-only grid over a record set. The model asks the record set only for
// the rows the view paints, so a grid on 100,000 rows costs no more than one
// on a hundred.
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

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    int sourceField(int column) const;
    void refreshFieldMap();

    QPointer<RecordSource> source_;
    QList<GridColumn> columns_;
    QList<int> fieldOfColumn_;
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

signals:
    void doubleClickedRow();

protected:
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    void bind();
    void followSource(int row);

    RecordSetModel* model_;
    QPointer<DataSource> dataSource_;
    bool syncing_ = false;
};

}  // namespace toolkit
