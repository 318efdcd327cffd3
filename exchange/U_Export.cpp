#include "exchange/U_Export.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QShowEvent>
#include <QTabBar>
#include <QUrl>
#include <QVBoxLayout>

#include "app/U_data.h"
#include "app/db/Connection.h"
#include "app/db/Query.h"
#include "exchange/ExportFiles.h"
#include "exchange/Progress.h"
#include "exchange/TableReader.h"
#include "exchange/sheet/XlsxWriter.h"
#include "toolkit/DialogService.h"
#include "toolkit/Forms.h"

TFrm_Export* Frm_Export = nullptr;

namespace {
const QString kCaption = QStringLiteral("导出为Excel文件");
}

ExportResult writeExport(toolkit::RecordSource* source, const QList<ExportColumn>& layout, const QString& path,
                         const std::function<bool(int)>& progress) {
    ExportResult r;
    r.path = path;
    sheet::XlsxWriter w(path);
    QStringList titles;
    QList<int> fields;
    QList<db::FieldKind> kinds;
    auto* query = qobject_cast<db::Query*>(source);
    auto* table = qobject_cast<TableReader*>(source);
    for (const ExportColumn& c : layout) {
        titles << c.title;
        const int f = source->fieldIndex(c.field);
        fields << f;
        kinds << (f < 0 ? db::FieldKind::Text : query ? query->fieldDef(f).kind : table ? table->kind(f) : db::FieldKind::Text);
    }
    if (!w.setTitles(titles)) {
        r.error = w.error();
        return r;
    }
    const int n = source->recordCount();
    QStringList cells;
    // Rows are read a block at a time, only the exported fields.
    constexpr int kBlock = 2048;
    QList<int> present;
    for (int f : fields)
        if (f >= 0) present << f;
    QVector<QVector<QVariant>> block;
    for (int i = 0; i < n; ++i) {
        if (i % kBlock == 0) block = source->blockValues(present, i, kBlock);
        const QVector<QVariant>& row = block[i % kBlock];
        cells.clear();
        for (int k = 0, p = 0; k < fields.size(); ++k)
            cells << (fields[k] < 0 ? QString() : exportText(row.value(p++), kinds[k]));
        if (!w.writeRow(i + 2, cells)) {
            r.error = w.error();
            return r;
        }
        if (progress && !progress(i + 1)) {
            r.cancelled = true;
            return r;  // the writer drops its temporary file
        }
    }
    if (!w.commit()) {
        r.error = w.error();
        return r;
    }
    r.written = true;
    r.rows = n;
    r.cutCells = w.truncatedCells();
    return r;
}

QString exportPath(const QString& folder, const QString& name, bool currentRange) {
    const QDir dir(folder);
    // A name typed with its extension ("list.xlsx") is not given a second one.
    const QString file =
        name.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive) ? name : name + QStringLiteral(".xlsx");
    return currentRange ? dir.filePath(QStringLiteral("export/") + file) : dir.filePath(file);
}

// ---- the window ------------------------------------------------------------------------

TFrm_Export::TFrm_Export(QWidget* parent) : QDialog(parent) {
    Frm_Export = this;
    setObjectName(QStringLiteral("Frm_Export"));
    toolkit::makeFixedDialog(this, 340, 212);

    PageControl1 = new QTabWidget(this);
    PageControl1->setGeometry(0, 0, 340, 212);
    PageControl1->setDocumentMode(true);
    PageControl1->setStyleSheet(QStringLiteral("QTabWidget::pane { border: none; }"));

    auto page = [this](const QString& caption, const QString& group, const QString& first, const QString& second,
                       const QString& okCaption, QGroupBox** box, QRadioButton** r0, QRadioButton** r1, QLabel** label,
                       QLineEdit** edit, QProgressBar** bar, QPushButton** ok, QPushButton** exit) {
        auto* w = new QWidget;
        *box = new QGroupBox(group, w);
        (*box)->setGeometry(12, 10, 316, 76);
        *r0 = new QRadioButton(first, *box);
        (*r0)->setGeometry(14, 22, 290, 22);
        (*r0)->setChecked(true);
        *r1 = new QRadioButton(second, *box);
        (*r1)->setGeometry(14, 46, 290, 22);
        *label = new QLabel(QStringLiteral("Filename"), w);
        (*label)->setGeometry(14, 100, 60, 24);
        *edit = new QLineEdit(w);
        (*edit)->setGeometry(76, 100, 252, 24);
        (*label)->setBuddy(*edit);
        *bar = new QProgressBar(w);
        (*bar)->setGeometry(12, 136, 316, 18);
        (*bar)->setTextVisible(false);
        (*bar)->setValue(0);
        *ok = new QPushButton(okCaption, w);
        (*ok)->setGeometry(150, 170, 86, 28);
        (*ok)->setDefault(true);
        *exit = new QPushButton(QStringLiteral("Exit(&E)"), w);
        (*exit)->setGeometry(242, 170, 86, 28);
        (*exit)->setAutoDefault(false);
        PageControl1->addTab(w, caption);
        return w;
    };
    // The two group captions are written as they have always been.
    TabSheet1 = page(QStringLiteral("Cust"), QStringLiteral("Record  range "), QStringLiteral("1.Current customer record"),
                     QStringLiteral("2.All customer record"), QStringLiteral("Yes(&Y)"), &RadioGroup1, &RadioGroup1Item0,
                     &RadioGroup1Item1, &Label1, &Edit_Name, &ProgressBar1, &Btn_OK, &Btn_Exit);
    TabSheet2 = page(QStringLiteral("Contact"), QStringLiteral("Reocrd range "), QStringLiteral("1.Current contactor record"),
                     QStringLiteral("2.All contactor record"), QStringLiteral("Begin(&Y)"), &RadioGroup2,
                     &RadioGroup2Item0, &RadioGroup2Item1, &Label2, &Edit_Contact, &ProgressBar2, &BitBtn1, &Button2);

    toolkit::onClick(Btn_OK, this, &TFrm_Export::Btn_OKClick);
    toolkit::onClick(BitBtn1, this, &TFrm_Export::BitBtn1Click);
    toolkit::onClick(Btn_Exit, this, &TFrm_Export::Btn_ExitClick);
    toolkit::onClick(Button2, this, &TFrm_Export::Btn_ExitClick);
    toolkit::centreOnScreen(this);
    FormCreate();
}

TFrm_Export::~TFrm_Export() {
    if (Frm_Export == this) Frm_Export = nullptr;
}

void TFrm_Export::FormCreate() {
    setWindowTitle(kCaption);
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    Edit_Name->setText(QStringLiteral("Cust") + today);
    Edit_Contact->setText(QStringLiteral("Contact") + today);
}

void TFrm_Export::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    toolkit::formShowOnce(e, shown_, [this] { FormShow(); });
}

void TFrm_Export::FormShow() {
    PageControl1->tabBar()->hide();
    PageControl1->setCurrentWidget(ExportCustomers ? TabSheet1 : TabSheet2);
    // The default button of the page on show answers Enter.
    (ExportCustomers ? Btn_OK : BitBtn1)->setFocus();
    (ExportCustomers ? Edit_Name : Edit_Contact)->setFocus();
}

void TFrm_Export::Btn_OKClick() { exportTable(true); }
void TFrm_Export::BitBtn1Click() { exportTable(false); }
void TFrm_Export::Btn_ExitClick() { close(); }

void TFrm_Export::exportTable(bool customers) {
    QLineEdit* edit = customers ? Edit_Name : Edit_Contact;
    QProgressBar* bar = customers ? ProgressBar1 : ProgressBar2;
    const bool current = (customers ? RadioGroup1Item0 : RadioGroup2Item0)->isChecked();
    const QString name = checkedFileName(edit->text(), kCaption);
    if (name.isEmpty()) return;

    // The source: the shared list as it stands, or the whole table on a connection of its own.
    const QList<ExportColumn>& layout = customers ? customerLayout() : contactLayout();
    std::unique_ptr<db::Connection> own;
    std::unique_ptr<TableReader> all;
    toolkit::RecordSource* source = nullptr;
    if (current) {
        db::Query* shared = customers ? Frm_Data->Qry_Cust : Frm_Data->Qry_Contact;
        if (!shared->active()) return;
        source = shared;
    } else {
        own = std::make_unique<db::Connection>();
        own->open(Frm_Data->ConnString);
        QStringList columns;
        for (const ExportColumn& c : layout) columns << c.field;
        all = std::make_unique<TableReader>(own.get(), customers ? QStringLiteral("custom") : QStringLiteral("contact"),
                                            customers ? QStringLiteral("CustID") : QStringLiteral("ContactId"), columns);
        source = all.get();
    }

    const QString path = exportPath(Frm_Data->places().documentsDir(), name, current);
    QString why;
    if (!ensureFolder(QFileInfo(path).absolutePath(), &why)) {
        reportWriteFailure(path, why, kCaption);
        return;
    }
    if (!mayWrite(path, kCaption)) return;

    const int count = source->recordCount();
    ExportResult r;
    {
        Progress progress(QStringLiteral("Writing %1 ...").arg(QFileInfo(path).fileName()), count, bar);
        bar->setValue(std::min(1, count));
        r = writeExport(source, layout, path, [&](int n) { return progress.step(n); });
    }
    // Finished: the bar says so, whatever steps it showed on the way.
    bar->setValue(r.written ? bar->maximum() : 0);
    // A cell holds at most 32,767 characters: a longer text is cut, and the
    // user must know before relying on the file.
    if (r.written && r.cutCells > 0)
        toolkit::dialogs().message(
            (r.cutCells == 1 ? QStringLiteral("1 text was longer than a spreadsheet cell can hold and was cut")
                             : QStringLiteral("%1 texts were longer than a spreadsheet cell can hold and were cut")
                                   .arg(r.cutCells)) +
                QStringLiteral(" to %1 characters in %2.")
                    .arg(QLocale(QLocale::English).toString(sheet::XlsxWriter::kMaxCellChars),
                         QDir::toNativeSeparators(path)),
            kCaption, toolkit::Icon::Warning);
    if (finishExport(r.cancelled, r.written, r.error, path, kCaption)) lastFile_ = path;
}
