#include "exchange/U_email.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>

#include "app/U_data.h"
#include "app/db/Query.h"
#include "exchange/ExportFiles.h"
#include "exchange/Progress.h"
#include "exchange/TableReader.h"
#include "toolkit/DialogService.h"
#include "toolkit/Forms.h"
#include "toolkit/SafeWrite.h"

TFrm_Email* Frm_Email = nullptr;

namespace {
const QString kCaption = QStringLiteral("Export Customer Email");
}

namespace {
bool isLineBreak(QChar c) {
    const char16_t u = c.unicode();
    return u == u'\n' || u == u'\r' || u == u'\v' || u == u'\f' || u == 0x85 || u == 0x2028 || u == 0x2029;
}
}  // namespace

EmailExportResult writeEmails(toolkit::RecordSource* source, const QString& path,
                              const std::function<bool(int, int)>& progress) {
    EmailExportResult r;
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        r.error = f.errorString();
        return r;
    }
    const int field = source->fieldIndex(QStringLiteral("Email"));
    const int n = source->recordCount();
    QByteArray buf;
    // The addresses are read a block at a time, one column only.
    constexpr int kBlock = 4096;
    QVector<QVariant> block;
    for (int i = 0; i < n; ++i) {
        if (field >= 0 && i % kBlock == 0) block = source->columnValues(field, i, kBlock);
        // One address a line: a field holding line breaks gives a line for
        // each of its parts, so the file keeps one kind of line end.
        const QString text = field < 0 ? QString() : block.value(i % kBlock).toString();
        for (qsizetype start = 0, at = 0; at <= text.size(); ++at) {
            if (at < text.size() && !isLineBreak(text[at])) continue;
            const QStringView address = QStringView(text).mid(start, at - start).trimmed();
            start = at + 1;
            if (address.isEmpty()) continue;
            buf += address.toUtf8();
            buf += "\r\n";
            ++r.lines;
        }
        r.rows = i + 1;
        if (buf.size() > (1 << 20)) {
            if (f.write(buf) != buf.size()) {
                r.error = f.errorString();
                f.cancelWriting();
                return r;
            }
            buf.clear();
        }
        if (progress && !progress(r.rows, r.lines)) {
            r.cancelled = true;
            f.cancelWriting();
            return r;
        }
    }
    if (!buf.isEmpty() && f.write(buf) != buf.size()) {
        r.error = f.errorString();
        f.cancelWriting();
        return r;
    }
    // The last bytes too: a full disk must not give a cut file the name.
    if (!toolkit::commitWhole(f, &r.error)) return r;
    r.written = true;
    return r;
}

QString TFrm_Email::exportFolder() { return Frm_Data->places().exportDir(); }

TFrm_Email::TFrm_Email(QWidget* parent) : QDialog(parent) {
    Frm_Email = this;
    setObjectName(QStringLiteral("Frm_Email"));
    toolkit::makeFixedDialog(this, 330, 210);
    RadioGroup1 = new QGroupBox(QStringLiteral("Customer record range "), this);
    RadioGroup1->setGeometry(12, 10, 306, 76);
    RadioGroup1Item0 = new QRadioButton(QStringLiteral("1.Current customer record"), RadioGroup1);
    RadioGroup1Item0->setGeometry(14, 22, 280, 22);
    RadioGroup1Item0->setChecked(true);
    RadioGroup1Item1 = new QRadioButton(QStringLiteral("2.All Customer record"), RadioGroup1);
    RadioGroup1Item1->setGeometry(14, 46, 280, 22);
    Label1 = new QLabel(QStringLiteral("Filename"), this);
    Label1->setGeometry(14, 98, 60, 24);
    Edit1 = new QLineEdit(this);
    Edit1->setGeometry(76, 98, 242, 24);
    Label1->setBuddy(Edit1);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setGeometry(12, 134, 306, 18);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setValue(0);
    Btn_start = new QPushButton(QStringLiteral("Begin(&S)"), this);
    Btn_start->setGeometry(140, 168, 86, 28);
    Btn_start->setDefault(true);
    btn_exit = new QPushButton(QStringLiteral("Exit(&E)"), this);
    btn_exit->setGeometry(232, 168, 86, 28);
    btn_exit->setAutoDefault(false);
    toolkit::onClick(Btn_start, this, &TFrm_Email::Btn_startClick);
    toolkit::onClick(btn_exit, this, &TFrm_Email::btn_exitClick);
    toolkit::centreOnScreen(this);
    toolkit::guarded([this] { FormCreate(); });
}

TFrm_Email::~TFrm_Email() {
    if (Frm_Email == this) Frm_Email = nullptr;
}

void TFrm_Email::FormCreate() {
    setWindowTitle(kCaption);
    Edit1->setText(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    QString why;
    ensureFolder(exportFolder(), &why);  // a failure is reported when a file is written
}

void TFrm_Email::setCount(int n) {
    setWindowTitle(QStringLiteral("Export Customer Email( ") + QString::number(n) + QStringLiteral(" )"));
}

void TFrm_Email::Btn_startClick() {
    const QString name = checkedFileName(Edit1->text(), kCaption);
    if (name.isEmpty()) return;
    const bool current = RadioGroup1Item0->isChecked();
    toolkit::RecordSource* source = nullptr;
    std::unique_ptr<TableReader> all;
    if (current) {
        if (!Frm_Data->Qry_Cust->active()) return;
        source = Frm_Data->Qry_Cust;
    } else {
        all = std::make_unique<TableReader>(Frm_Data->Connection, QStringLiteral("custom"), QStringLiteral("CustID"),
                                            QStringList{QStringLiteral("Email")});
        source = all.get();
    }
    const QString path = QDir(exportFolder()).filePath(name + QStringLiteral(".txt"));
    QString why;
    if (!ensureFolder(exportFolder(), &why)) {
        reportWriteFailure(path, why, kCaption);
        return;
    }
    if (!mayWrite(path, kCaption)) return;

    const int count = source->recordCount();
    ProgressBar1->setValue(0);
    EmailExportResult r;
    {
        Progress progress(QStringLiteral("Writing %1 ...").arg(QFileInfo(path).fileName()), count, ProgressBar1);
        r = writeEmails(source, path, [&](int rows, int lines) {
            const bool go = progress.step(rows);
            // The count in the caption: lines written for the current list, rows read for all.
            if ((rows & 1023) == 0) setCount(current ? lines : rows);
            return go;
        });
    }
    setCount(current ? r.lines : r.rows);
    ProgressBar1->setValue(0);
    if (finishExport(r.cancelled, r.written, r.error, path, kCaption)) lastFile_ = path;
}

void TFrm_Email::btn_exitClick() { close(); }
