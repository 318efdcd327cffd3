#include "toolkit/DataGrid.h"

#include <QHeaderView>
#include <QMouseEvent>

#include "toolkit/Guard.h"

namespace toolkit {

RecordSetModel::RecordSetModel(QObject* parent) : QAbstractTableModel(parent) {}

void RecordSetModel::setSource(RecordSource* source) {
    if (source == source_) return;
    beginResetModel();
    if (source_) disconnect(source_, nullptr, this, nullptr);
    source_ = source;
    refreshFieldMap();
    if (source_) {
        connect(source_, &RecordSource::aboutToReset, this, [this] { beginResetModel(); });
        connect(source_, &RecordSource::resetDone, this, [this] {
            refreshFieldMap();
            endResetModel();
        });
        connect(source_, &RecordSource::rowAboutToBeInserted, this,
                [this](int row) { beginInsertRows(QModelIndex(), row, row); });
        connect(source_, &RecordSource::rowInserted, this, [this](int) { endInsertRows(); });
        connect(source_, &RecordSource::rowAboutToBeRemoved, this,
                [this](int row) { beginRemoveRows(QModelIndex(), row, row); });
        connect(source_, &RecordSource::rowRemoved, this, [this](int) { endRemoveRows(); });
        connect(source_, &RecordSource::rowChanged, this, [this](int row) {
            if (!columns_.isEmpty())
                emit dataChanged(index(row, 0), index(row, int(columns_.size()) - 1));
        });
        connect(source_, &RecordSource::labelsChanged, this, [this] {
            if (!columns_.isEmpty())
                emit headerDataChanged(Qt::Horizontal, 0, int(columns_.size()) - 1);
        });
        connect(source_, &QObject::destroyed, this, [this] {
            beginResetModel();
            fieldOfColumn_.clear();
            endResetModel();
        });
    }
    endResetModel();
}

void RecordSetModel::refreshFieldMap() {
    fieldOfColumn_.clear();
    for (const auto& c : columns_)
        fieldOfColumn_ << (source_ ? source_->fieldIndex(c.field) : -1);
}

void RecordSetModel::clearColumns() {
    if (columns_.isEmpty()) return;
    beginRemoveColumns(QModelIndex(), 0, int(columns_.size()) - 1);
    columns_.clear();
    fieldOfColumn_.clear();
    endRemoveColumns();
}

void RecordSetModel::addColumn(const GridColumn& c) {
    const int at = int(columns_.size());
    beginInsertColumns(QModelIndex(), at, at);
    columns_ << c;
    fieldOfColumn_ << (source_ ? source_->fieldIndex(c.field) : -1);
    endInsertColumns();
}

void RecordSetModel::setCheckBox(int column, bool on) {
    if (column < 0 || column >= columns_.size()) return;
    columns_[column].checkBox = on;
    if (rowCount() > 0) emit dataChanged(index(0, column), index(rowCount() - 1, column));
}

int RecordSetModel::sourceField(int column) const {
    return column >= 0 && column < fieldOfColumn_.size() ? fieldOfColumn_[column] : -1;
}

int RecordSetModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !source_) return 0;
    return source_->recordCount();
}

int RecordSetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(columns_.size());
}

QVariant RecordSetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !source_) return {};
    const int field = sourceField(index.column());
    if (field < 0) return {};
    const bool check = columns_[index.column()].checkBox;
    if (role == Qt::DisplayRole)
        return check ? QVariant() : QVariant(source_->textAt(index.row(), field));
    if (role == Qt::CheckStateRole && check)
        return source_->valueAt(index.row(), field).toBool() ? Qt::Checked : Qt::Unchecked;
    return {};
}

QVariant RecordSetModel::headerData(int section, Qt::Orientation o, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (o == Qt::Vertical) return section + 1;
    if (section < 0 || section >= columns_.size()) return {};
    const int field = sourceField(section);
    return field >= 0 ? source_->displayLabel(field) : columns_[section].field;
}

Qt::ItemFlags RecordSetModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

DataGrid::DataGrid(QWidget* parent) : QTableView(parent), model_(new RecordSetModel(this)) {
    setModel(model_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    setWordWrap(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setVisible(false);
    horizontalHeader()->setHighlightSections(false);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& cur) {
                if (syncing_ || !cur.isValid() || !model_->source()) return;
                syncing_ = true;
                // Moving posts a pending edit, which the engine may refuse.
                guarded([&] { model_->source()->setCurrentRow(cur.row()); });
                syncing_ = false;
            });
}

void DataGrid::setDataSource(DataSource* ds) {
    if (dataSource_) disconnect(dataSource_, nullptr, this, nullptr);
    dataSource_ = ds;
    if (ds) connect(ds, &DataSource::dataSetChanged, this, [this] { bind(); });
    bind();
}

void DataGrid::bind() {
    RecordSource* src = dataSource_ ? dataSource_->dataSet() : nullptr;
    if (model_->source()) disconnect(model_->source(), nullptr, this, nullptr);
    model_->setSource(src);
    if (src) {
        connect(src, &RecordSource::currentRowChanged, this, [this](int row) { followSource(row); });
        connect(src, &RecordSource::resetDone, this,
                [this] { followSource(model_->source() ? model_->source()->currentRow() : -1); });
        followSource(src->currentRow());
    }
}

void DataGrid::followSource(int row) {
    if (syncing_) return;
    syncing_ = true;
    if (row >= 0 && row < model_->rowCount() && model_->columnCount() > 0) {
        const QModelIndex idx = model_->index(row, qMax(0, currentIndex().column()));
        selectionModel()->setCurrentIndex(
            idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(idx);
    }
    syncing_ = false;
}

void DataGrid::clearColumns() { model_->clearColumns(); }

void DataGrid::addColumn(const QString& field, int width) {
    model_->addColumn({field, width, false});
    setColumnWidth(model_->columnCount() - 1, width);
    if (model_->source()) followSource(model_->source()->currentRow());
}

void DataGrid::setCheckBoxColumn(int column, bool on) { model_->setCheckBox(column, on); }

void DataGrid::mouseDoubleClickEvent(QMouseEvent* e) {
    QTableView::mouseDoubleClickEvent(e);
    if (indexAt(e->position().toPoint()).isValid()) emit doubleClickedRow();
}

}  // namespace toolkit
