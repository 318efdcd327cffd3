#include "exchange/U_Import.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QShowEvent>
#include <QVBoxLayout>

#include "app/U_Main.h"
#include "app/U_data.h"
#include "app/db/Statement.h"
#include "customers/U_Custom.h"
#include "exchange/Progress.h"
#include "exchange/U_ImportPreview.h"
#include "toolkit/DialogService.h"
#include "toolkit/Forms.h"
#include "toolkit/Guard.h"

TFrm_Import* Frm_Import = nullptr;

namespace {
// The first column names the database column; it is not for editing.
class ReadOnlyDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget*, const QStyleOptionViewItem&, const QModelIndex&) const override { return nullptr; }
};
}  // namespace

// ---- the header drop-down ----------------------------------------------------------

QWidget* HeaderPickDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const {
    auto* box = new QComboBox(parent);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(headers);
    box->lineEdit()->setMaxLength(kHeaderChars);
    // A header picked from the list, or typed and confirmed, counts at once
    // (the window's list of unpaired columns follows it).
    auto* self = const_cast<HeaderPickDelegate*>(this);  // Qt makes the editor in a const function
    connect(box, &QComboBox::activated, self, [self, box] { emit self->commitData(box); });
    connect(box->lineEdit(), &QLineEdit::editingFinished, self, [self, box] { emit self->commitData(box); });
    editor_ = box;
    return box;
}

void HeaderPickDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* box = static_cast<QComboBox*>(editor);
    toolkit::setBoxText(box, index.data(Qt::EditRole).toString());
}

void HeaderPickDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const {
    model->setData(index, static_cast<QComboBox*>(editor)->currentText(), Qt::EditRole);
}

void HeaderPickDelegate::commitOpenEditor() {
    if (!editor_) return;
    QWidget* e = editor_;
    emit commitData(e);
    emit closeEditor(e, QAbstractItemDelegate::NoHint);
    editor_ = nullptr;
}

// ---- the window --------------------------------------------------------------------

TFrm_Import::TFrm_Import(QWidget* parent, const QString& tableName, std::shared_ptr<ImportSource> source)
    : QDialog(parent), TableName(tableName), source_(std::move(source)) {
    Frm_Import = this;
    setObjectName(QStringLiteral("Frm_Import"));
    toolkit::makeFixedDialog(this, 430, 540);
    if (source_) {
        RowCount = source_->RowCount;
        ColCount = source_->ColCount;
    }

    Label1 = new QLabel(this);
    Label1->setGeometry(12, 10, 406, 20);
    DBGrid1 = new toolkit::DataGrid(this);
    DBGrid1->setGeometry(12, 36, 406, 256);
    DBGrid1->horizontalHeader()->setStretchLastSection(true);
    Label3 = new QLabel(this);
    Label3->setGeometry(12, 294, 406, 50);  // three lines
    Label3->setWordWrap(true);
    Choice = new ImportChoiceBox(this, Frm_Data->Connection, TableName);
    Choice->setGeometry(12, 348, 406, 76);
    Label2 = new QLabel(this);
    Label2->setGeometry(12, 428, 406, 56);  // three lines
    Label2->setWordWrap(true);
    Btn_Start = new QPushButton(QStringLiteral("开始(&S)"), this);
    Btn_Start->setGeometry(238, 498, 86, 28);
    Btn_Start->setDefault(true);
    Btn_Exit = new QPushButton(QStringLiteral("取消(&Q)"), this);
    Btn_Exit->setGeometry(332, 498, 86, 28);
    Btn_Exit->setAutoDefault(false);

    Qry_Import = new db::Query(Frm_Data->Connection, this);
    DS_Import = new toolkit::DataSource(Qry_Import, this);
    DBGrid1->setDataSource(DS_Import);
    DBGrid1->setEditable(true);
    DBGrid1->setItemDelegateForColumn(0, new ReadOnlyDelegate(DBGrid1));
    HeaderPick = new HeaderPickDelegate(DBGrid1);
    DBGrid1->setItemDelegateForColumn(1, HeaderPick);

    // Every change of a pairing, typed or picked, updates the list of unpaired columns.
    connect(Qry_Import, &toolkit::RecordSource::rowChanged, this, [this] { ShowUnpaired(); });
    connect(Qry_Import, &toolkit::RecordSource::resetDone, this, [this] { ShowUnpaired(); });
    toolkit::onClick(Btn_Start, this, &TFrm_Import::Btn_StartClick);
    toolkit::onClick(Btn_Exit, this, &TFrm_Import::Btn_ExitClick);
    toolkit::centreOnScreen(this);
}

TFrm_Import::~TFrm_Import() {
    if (Frm_Import == this) Frm_Import = nullptr;
}

void TFrm_Import::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    toolkit::formShowOnce(e, shown_, [this] { FormShow(); });
}

void TFrm_Import::FormShow() {
    setWindowTitle(QStringLiteral("字段映射"));
    // An empty sheet has no header row either: no records, not minus one.
    Label1->setText(QStringLiteral("Excel中共有 ") + QString::number(std::max(0, RowCount - 1)) +
                    QStringLiteral(" 条记录"));
    Qry_Import->close();
    Qry_Import->setSql(db::Statement(QStringLiteral("Select * from T_import where tablename=:table order by importid"))
                           .bind(QStringLiteral("table"), TableName));
    Qry_Import->open();
    // The titles are labels of the open record set's fields: open first.
    if (Frm_Main) Frm_Main->ApplyFieldShow(DBGrid1, Qry_Import, QStringLiteral("import"));
    else
        LoadFieldColumns(Frm_Data->Qry_FieldShow,
                         QStringLiteral("select * from T_FieldShow where show=1 and TableName='import' order by ShowID"),
                         DBGrid1, Qry_Import);
    // The pick list: one entry per sheet column, in the sheet's order.
    db::Query t(Frm_Data->Connection);
    t.setSql(QStringLiteral("Select * from T_Temp"));
    t.open();
    QStringList headers;
    for (t.first(); !t.eof(); t.next()) headers << t.asString(QStringLiteral("S_Field"));
    HeaderPick->headers = headers;
    ShowUnpaired();
    Choice->load();
    // The rules offered follow the pairing as it is posted.
    connect(Qry_Import, &toolkit::RecordSource::rowChanged, Choice, &ImportChoiceBox::refreshRules);
}

void TFrm_Import::ShowUnpaired() {
    const int field = Qry_Import->fieldIndex(QStringLiteral("F_Field"));
    if (field < 0) {
        Label3->clear();
        return;
    }
    QStringList pairings;
    for (int r = 0; r < Qry_Import->recordCount(); ++r) pairings << Qry_Import->textAt(r, field);
    const QStringList unpaired = unpairedHeaders(HeaderPick->headers, pairings);
    Label3->setText(unpaired.isEmpty() ? QString()
                                       : QStringLiteral("Sheet columns paired with nothing (not imported): %1")
                                             .arg(unpaired.join(QStringLiteral(", "))));
    Label3->setToolTip(Label3->text());
}

void TFrm_Import::Btn_StartClick() {
    Btn_Start->setEnabled(false);
    struct Restore {
        QPushButton* b;
        ~Restore() { b->setEnabled(true); }
    } restore{Btn_Start};
    // A pairing still being typed counts.
    HeaderPick->commitOpenEditor();
    if (!DBGrid1->postPending()) return;
    if (!source_) return;
    // Start pressed again (the window stays open, Start keeps the focus)
    // would add every row of the file a second time.
    if (addedOnce_ && Choice->options().onMatch == importmatch::OnMatch::Add &&
        !toolkit::dialogs().confirm(QStringLiteral("The rows of this file have been added once already. "
                                                   "Add them all again as new records?"),
                                    QStringLiteral("Import"), toolkit::Icon::Question))
        return;

    Choice->save();
    const QList<MappingPair> mapping = readMapping(Frm_Data->Connection, TableName);
    const QHash<QString, int> headers = readHeaderColumns(Frm_Data);
    ImportRun run(Frm_Data->Connection, source_->sheet(), RowCount, headers, TableName, mapping,
                  Frm_Main ? Frm_Main->UserName : QString(), QDate::currentDate());
    run.setFileName(source_->path);
    bool previewed = false;
    const ImportOutcome outcome = runImport(this, run, Choice->options(), Frm_Main ? Frm_Main->UserPermit : 0,
                                            RowCount, &previewed);
    last_ = outcome;
    if (previewed) {
        // The preview showed the problems, or the user turned it down.
        Label2->setText(QStringLiteral("Nothing was imported."));
        return;
    }
    if (outcome.cancelled) {
        Label2->setText(QStringLiteral("The import was cancelled; nothing was imported."));
        toolkit::dialogs().message(QStringLiteral("The import was cancelled; nothing was imported."),
                                   QStringLiteral("Import"), toolkit::Icon::Information);
        return;
    }
    if (outcome.problemCount > 0) {
        Label2->setText(QStringLiteral("Nothing was imported: %1 problem(s) to correct.").arg(outcome.problemCount));
        toolkit::dialogs().message(ImportRun::report(outcome), QStringLiteral("Import"), toolkit::Icon::Warning);
        return;
    }
    QString done = QStringLiteral("Added %1 customer(s) and %2 contact(s); %3 empty row(s) skipped.")
                       .arg(outcome.customers)
                       .arg(outcome.contacts)
                       .arg(outcome.emptyRows);
    if (Choice->options().onMatch != importmatch::OnMatch::Add)
        done += QStringLiteral(" Updated %1, left %2 as they were, skipped %3 matching row(s).")
                    .arg(outcome.updated)
                    .arg(outcome.unchanged)
                    .arg(outcome.skipped);
    Label2->setText(done);
    if (outcome.customers > 0 || outcome.contacts > 0) addedOnce_ = true;
    // The shared lists show the new rows.
    for (db::Query* q : {Frm_Data->Qry_Cust, Frm_Data->Qry_Contact}) {
        if (!q->active()) continue;
        q->close();
        q->open();
    }
    if (Frm_Custom) Frm_Custom->LoadGridColumns();
    toolkit::showMessage(QStringLiteral("导入数据成功!"));
}

void TFrm_Import::Btn_ExitClick() { close(); }

void TFrm_Import::FormClose() {
    // The workbook is let go with the window.
    source_.reset();
}

void TFrm_Import::done(int r) {
    if (!closed_) {
        closed_ = true;
        FormClose();
    }
    QDialog::done(r);
}
