#include "toolkit/DataGrid.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyledItemDelegate>

#include "toolkit/DialogService.h"
#include "toolkit/Guard.h"

namespace toolkit {

namespace {
// Remembers the cell editor it made, so the grid can write it back when its
// owner asks for the pending row to be posted.
class EditorDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* w = QStyledItemDelegate::createEditor(parent, option, index);
        // A cell takes no more than its field can store.
        auto* model = qobject_cast<const RecordSetModel*>(index.model());
        if (auto* edit = qobject_cast<QLineEdit*>(w); edit && model)
            if (const int size = model->fieldSizeOf(index.column()); size > 0) edit->setMaxLength(size);
        editor = w;
        return w;
    }
    mutable QPointer<QWidget> editor;
};
}  // namespace

RecordSetModel::RecordSetModel(QObject* parent) : QAbstractTableModel(parent) {}

void RecordSetModel::setSource(RecordSource* source) {
    if (source == source_) return;
    beginResetModel();
    if (source_) disconnect(source_, nullptr, this, nullptr);
    source_ = source;
    refreshFieldMap();
    if (source_) {
        connect(source_, &RecordSource::aboutToReset, this, [this] { beginResetModel(); });
        // A list opened again, or a cursor moved, is a new chance to read.
        connect(source_, &RecordSource::currentRowChanged, this, [this] { readFailed_ = false; });
        connect(source_, &RecordSource::resetDone, this, [this] {
            readFailed_ = false;
            refreshFieldMap();
            pendingShown_ = editable_ && source_->inserting();
            endResetModel();
        });
        connect(source_, &RecordSource::rowAboutToBeInserted, this, [this](int row) {
            // The row being inserted was shown already: it stays where it is.
            if (pendingShown_ && row == source_->recordCount()) {
                posting_ = true;
                pendingShown_ = false;
                return;
            }
            beginInsertRows(QModelIndex(), row, row);
        });
        connect(source_, &RecordSource::rowInserted, this, [this](int row) {
            if (!posting_) {
                endInsertRows();
                return;
            }
            posting_ = false;
            if (!columns_.isEmpty()) emit dataChanged(index(row, 0), index(row, int(columns_.size()) - 1));
        });
        connect(source_, &RecordSource::editStateChanged, this, [this] { syncPendingRow(); });
        connect(source_, &RecordSource::rowAboutToBeRemoved, this, [this](int row) {
            removing_ = true;
            beginRemoveRows(QModelIndex(), row, row);
        });
        connect(source_, &RecordSource::rowRemoved, this, [this](int) {
            endRemoveRows();
            removing_ = false;
        });
        connect(source_, &RecordSource::rowChanged, this, [this](int row) {
            if (!columns_.isEmpty() && row >= 0 && row < rowCount())
                emit dataChanged(index(row, 0), index(row, int(columns_.size()) - 1));
        });
        connect(source_, &RecordSource::labelsChanged, this, [this] {
            if (!columns_.isEmpty())
                emit headerDataChanged(Qt::Horizontal, 0, int(columns_.size()) - 1);
        });
        connect(source_, &QObject::destroyed, this, [this] {
            beginResetModel();
            fieldOfColumn_.clear();
            pendingShown_ = false;
            endResetModel();
        });
    }
    pendingShown_ = editable_ && source_ && source_->inserting();
    endResetModel();
}

void RecordSetModel::setEditable(bool on) {
    if (on == editable_) return;
    beginResetModel();
    editable_ = on;
    pendingShown_ = editable_ && source_ && source_->inserting();
    endResetModel();
}

void RecordSetModel::syncPendingRow() {
    const bool show = editable_ && source_ && source_->inserting();
    if (show == pendingShown_) return;
    const int at = source_ ? source_->recordCount() : 0;
    if (show) {
        beginInsertRows(QModelIndex(), at, at);
        pendingShown_ = true;
        pendingTouched_ = false;
        endInsertRows();
    } else {
        beginRemoveRows(QModelIndex(), at, at);
        pendingShown_ = false;
        endRemoveRows();
    }
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
    return source_->recordCount() + (pendingShown_ ? 1 : 0);
}

int RecordSetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(columns_.size());
}

bool RecordSetModel::cell(int row, int field, bool text, QVariant* out) const {
    if (readFailed_) {
        QVariant value;
        QString shown;
        if (!source_->cachedAt(row, field, &value, &shown)) return false;
        *out = text ? QVariant(shown) : value;
        return true;
    }
    // Painting must never see an exception: the view could not survive it.
    try {
        *out = text ? QVariant(source_->textAt(row, field)) : source_->valueAt(row, field);
        return true;
    } catch (const std::exception& e) {
        readFailed_ = true;
        const QString why = QString::fromUtf8(e.what());
        // Said once, after the painting: a dialog must not open inside it.
        QMetaObject::invokeMethod(
            const_cast<RecordSetModel*>(this), [self = const_cast<RecordSetModel*>(this), why] { emit self->readFailed(why); },
            Qt::QueuedConnection);
    } catch (...) {
        readFailed_ = true;
    }
    return false;
}

QVariant RecordSetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !source_) return {};
    const int field = sourceField(index.column());
    if (field < 0) return {};
    const bool check = columns_[index.column()].checkBox;
    QVariant v;
    if (role == Qt::DisplayRole || (role == Qt::EditRole && editable_)) {
        if (check) return {};
        return cell(index.row(), field, true, &v) ? v : QVariant();
    }
    if (role == Qt::CheckStateRole && check) {
        if (!cell(index.row(), field, false, &v)) return {};
        return v.toBool() ? Qt::Checked : Qt::Unchecked;
    }
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
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (editable_ && sourceField(index.column()) >= 0 && !columns_[index.column()].checkBox)
        f |= Qt::ItemIsEditable;
    return f;
}

bool RecordSetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!editable_ || role != Qt::EditRole || !index.isValid() || !source_) return false;
    const int field = sourceField(index.column());
    if (field < 0 || columns_[index.column()].checkBox) return false;
    const bool pending = isPendingRow(index.row());
    bool unchanged = false;
    if (!guarded([&] {
            // Leaving a cell unchanged must not put its row into editing.
            unchanged = value.toString() == source_->textAt(index.row(), field);
            if (!unchanged) source_->setValueAt(index.row(), field, value);
        }))
        return false;
    if (unchanged) return true;
    if (pending) pendingTouched_ = true;
    return true;
}

DataGrid::DataGrid(QWidget* parent) : QTableView(parent), model_(new RecordSetModel(this)) {
    setModel(model_);
    connect(model_, &RecordSetModel::readFailed, this, [](const QString& why) { dialogs().error(why); });
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    setWordWrap(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setVisible(false);
    horizontalHeader()->setHighlightSections(false);
    // Titles start where the values start, and a long one loses its end, not both ends.
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& cur) {
                if (syncing_ || !cur.isValid() || !model_->source() || model_->removingRow()) return;
                // The row being inserted is not stored yet: there is no row to move to.
                if (model_->isPendingRow(cur.row())) return;
                // Leaving a new row nothing was typed into drops it, as leaving
                // an untouched row should leave the table as it was.
                dropUntouchedRow();
                syncing_ = true;
                // Moving posts a pending edit, which the engine may refuse.
                bool moved = guarded([&] { model_->source()->setCurrentRow(cur.row()); });
                if (!moved && model_->editable()) {
                    // The refusal has been shown. The refused change is dropped
                    // and the move goes on: kept, it would stay on screen as if
                    // stored while the highlight sat on the row the user
                    // picked, and a Delete would hit the wrong row.
                    const int row = cur.row();
                    guarded([&] { model_->source()->cancelChanges(); });
                    moved = guarded([&] { model_->source()->setCurrentRow(row); });
                }
                syncing_ = false;
                followSource(model_->source()->currentRow());
            });
}

void DataGrid::setEditable(bool on) {
    if (on && !dynamic_cast<EditorDelegate*>(itemDelegate())) setItemDelegate(new EditorDelegate(this));
    model_->setEditable(on);
    setEditTriggers(on ? QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                             QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed
                       : QAbstractItemView::NoEditTriggers);
    if (on) showPendingRow();
}

QWidget* DataGrid::openEditor() const {
    auto* d = dynamic_cast<EditorDelegate*>(itemDelegate());
    return d && state() == QAbstractItemView::EditingState ? d->editor.data() : nullptr;
}

bool DataGrid::postPending() {
    if (QWidget* ed = openEditor()) {
        commitData(ed);
        closeEditor(ed, QAbstractItemDelegate::NoHint);
    }
    RecordSource* src = model_->source();
    if (!src || dropUntouchedRow()) return true;
    return guarded([&] { src->postChanges(); });
}

bool DataGrid::dropUntouchedRow() {
    RecordSource* src = model_->source();
    if (!src || !model_->showsPendingRow() || model_->pendingRowTouched()) return false;
    const bool was = syncing_;
    syncing_ = true;
    guarded([&] { src->cancelChanges(); });
    syncing_ = was;
    return true;
}

void DataGrid::cancelPending() {
    if (QWidget* ed = openEditor()) closeEditor(ed, QAbstractItemDelegate::RevertModelCache);
    if (RecordSource* src = model_->source()) guarded([&] { src->cancelChanges(); });
}

void DataGrid::showPendingRow() {
    if (!model_->showsPendingRow() || model_->columnCount() == 0) return;
    const QModelIndex idx = model_->index(model_->rowCount() - 1, qMax(0, currentIndex().column()));
    syncing_ = true;
    selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(idx);
    syncing_ = false;
}

// What the user does next may read again what failed before.
void DataGrid::retryReads() {
    if (!model_->readsFailed()) return;
    model_->retryReads();
    viewport()->update();
}

void DataGrid::mousePressEvent(QMouseEvent* e) {
    retryReads();
    QTableView::mousePressEvent(e);
}

void DataGrid::wheelEvent(QWheelEvent* e) {
    retryReads();
    QTableView::wheelEvent(e);
}

void DataGrid::keyPressEvent(QKeyEvent* e) {
    retryReads();
    // Escape outside a cell editor drops the row's pending change.
    if (editable() && e->key() == Qt::Key_Escape && state() != QAbstractItemView::EditingState &&
        model_->source() && model_->source()->changing()) {
        cancelPending();
        e->accept();
        return;
    }
    QTableView::keyPressEvent(e);
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
        connect(src, &RecordSource::editStateChanged, this, [this] {
            if (editable()) showPendingRow();
        });
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
