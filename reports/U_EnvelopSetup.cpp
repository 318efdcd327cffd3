#include "reports/U_EnvelopSetup.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QShowEvent>
#include <QVBoxLayout>

#include "app/U_data.h"
#include "toolkit/DialogService.h"
#include "toolkit/Forms.h"
#include "toolkit/Guard.h"

namespace {
const QString kTitle = QStringLiteral("Envelop Format Setup");
constexpr double kSheetW = 210, kSheetH = 297;
}  // namespace

// ---- TSheetView --------------------------------------------------------------------

TSheetView::TSheetView(QWidget* parent) : QWidget(parent) {
    setMinimumSize(150, 212);
    setCursor(Qt::PointingHandCursor);
    setToolTip(tr("Click a label to start printing there"));
}

void TSheetView::setSettings(const EnvelopSettings& s, const QString& problem) {
    s_ = s;
    problem_ = problem;
    update();
}

QRectF TSheetView::sheetRect() const {
    const double scale = std::min((width() - 8) / kSheetW, (height() - 8) / kSheetH);
    const QSizeF size(kSheetW * scale, kSheetH * scale);
    return QRectF(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

QRectF TSheetView::labelRect(int index) const {
    const QRectF sheet = sheetRect();
    const double k = sheet.width() / kSheetW;
    const QRectF mm = s_.sheet.labelMm(index);
    return QRectF(sheet.left() + mm.left() * k, sheet.top() + mm.top() * k, mm.width() * k, mm.height() * k);
}

void TSheetView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF sheet = sheetRect();
    p.fillRect(sheet.translated(2, 2), QColor(0, 0, 0, 60));
    p.fillRect(sheet, Qt::white);
    p.setPen(QPen(Qt::darkGray, 1));
    p.drawRect(sheet);
    const double k = sheet.width() / kSheetW;
    if (!problem_.isEmpty()) {
        p.setPen(QColor(180, 0, 0));
        p.drawText(sheet.adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap,
                   tr("These labels cannot be printed:\n%1").arg(problem_));
        return;
    }
    if (s_.sheet.isEnvelope()) {
        // Page header and footer strips of the plain-paper layout.
        p.fillRect(QRectF(sheet.left() + 3 * k, sheet.top() + 10 * k, sheet.width() - 6 * k, 10.58 * k),
                   QColor(225, 225, 225));
        p.fillRect(QRectF(sheet.left() + 3 * k, sheet.bottom() - 20.58 * k, sheet.width() - 6 * k, 10.58 * k),
                   QColor(225, 225, 225));
    }
    const int skipped = s_.skipped();
    for (int i = 0; i < s_.sheet.perSheet(); ++i) {
        const QRectF r = labelRect(i);
        if (i < skipped) {
            // Already used: grey and crossed out.
            p.fillRect(r, QColor(200, 200, 200));
            p.setPen(QPen(QColor(150, 150, 150), 1));
            p.drawLine(r.topLeft(), r.bottomRight());
            p.drawLine(r.topRight(), r.bottomLeft());
        } else {
            p.fillRect(r, QColor(235, 243, 255));
            p.setPen(QPen(QColor(120, 140, 200), 0.8));
            // A few strokes for the lines of the address.
            for (int line = 1; line <= 3; ++line) {
                const double y = r.top() + r.height() * line / 4.5;
                p.drawLine(QPointF(r.left() + r.width() * 0.12, y), QPointF(r.left() + r.width() * (0.75 - 0.1 * line), y));
            }
        }
        p.setPen(QPen(i == skipped ? QColor(0, 90, 200) : QColor(110, 110, 110), i == skipped ? 2 : 0.8));
        p.drawRect(r);
    }
}

void TSheetView::mousePressEvent(QMouseEvent* e) {
    if (!problem_.isEmpty()) return;
    for (int i = 0; i < s_.sheet.perSheet(); ++i)
        if (labelRect(i).contains(e->position())) {
            if (onPick) toolkit::guarded([&] { onPick(i + 1); });
            return;
        }
    QWidget::mousePressEvent(e);
}

// ---- TFrm_EnvelopSetup --------------------------------------------------------------

TFrm_EnvelopSetup::TFrm_EnvelopSetup(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Frm_EnvelopSetup"));
    setWindowTitle(kTitle);
    toolkit::makeFixedDialog(this, 600, 400);
    custom_ = SheetById(QStringLiteral("custom"));

    auto* top = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    top->addLayout(left, 1);

    Label1 = new QLabel(tr("Paper for the envelope labels:"), this);
    left->addWidget(Label1);
    Combo_Sheet = new QComboBox(this);
    Combo_Sheet->setObjectName(QStringLiteral("Combo_Sheet"));
    for (const LabelSheet& s : LabelSheets()) Combo_Sheet->addItem(s.name, s.id);
    Label1->setBuddy(Combo_Sheet);
    left->addWidget(Combo_Sheet);

    GroupBox1 = new QGroupBox(tr("Sheet geometry"), this);
    auto* g = new QGridLayout(GroupBox1);
    auto spin = [&](const char* name, int lo, int hi) {
        auto* s = new QSpinBox(GroupBox1);
        s->setObjectName(QLatin1String(name));
        s->setRange(lo, hi);
        return s;
    };
    auto mm = [&](const char* name) {
        auto* s = new QDoubleSpinBox(GroupBox1);
        s->setObjectName(QLatin1String(name));
        s->setDecimals(2);
        s->setRange(0, 297);
        s->setSingleStep(0.1);
        s->setSuffix(QStringLiteral(" mm"));
        return s;
    };
    Edit_Columns = spin("Edit_Columns", 1, 10);
    Edit_Rows = spin("Edit_Rows", 1, 40);
    Edit_Width = mm("Edit_Width");
    Edit_Height = mm("Edit_Height");
    Edit_Top = mm("Edit_Top");
    Edit_Left = mm("Edit_Left");
    Edit_HPitch = mm("Edit_HPitch");
    Edit_VPitch = mm("Edit_VPitch");
    const struct {
        const char* caption;
        QWidget* edit;
        int row, col;
    } cells[] = {{"Columns", Edit_Columns, 0, 0},    {"Rows", Edit_Rows, 0, 2},
                 {"Label width", Edit_Width, 1, 0},  {"Label height", Edit_Height, 1, 2},
                 {"Top margin", Edit_Top, 2, 0},     {"Left margin", Edit_Left, 2, 2},
                 {"Pitch across", Edit_HPitch, 3, 0}, {"Pitch down", Edit_VPitch, 3, 2}};
    for (const auto& c : cells) {
        auto* l = new QLabel(tr(c.caption), GroupBox1);
        l->setBuddy(c.edit);
        g->addWidget(l, c.row, c.col);
        g->addWidget(c.edit, c.row, c.col + 1);
    }
    Label_Problem = new QLabel(GroupBox1);
    Label_Problem->setObjectName(QStringLiteral("Label_Problem"));
    Label_Problem->setWordWrap(true);
    Label_Problem->setStyleSheet(QStringLiteral("color: #b00000"));
    g->addWidget(Label_Problem, 4, 0, 1, 4);
    left->addWidget(GroupBox1);

    GroupBox2 = new QGroupBox(tr("Start printing at (for a sheet already partly used)"), this);
    auto* s = new QGridLayout(GroupBox2);
    Edit_Start = new QSpinBox(GroupBox2);
    Edit_Start->setObjectName(QStringLiteral("Edit_Start"));
    Edit_Row = new QSpinBox(GroupBox2);
    Edit_Row->setObjectName(QStringLiteral("Edit_Row"));
    Edit_Col = new QSpinBox(GroupBox2);
    Edit_Col->setObjectName(QStringLiteral("Edit_Col"));
    auto* l1 = new QLabel(tr("Label number"), GroupBox2);
    l1->setBuddy(Edit_Start);
    auto* l2 = new QLabel(tr("or row"), GroupBox2);
    l2->setBuddy(Edit_Row);
    auto* l3 = new QLabel(tr("column"), GroupBox2);
    l3->setBuddy(Edit_Col);
    s->addWidget(l1, 0, 0);
    s->addWidget(Edit_Start, 0, 1);
    s->addWidget(l2, 0, 2);
    s->addWidget(Edit_Row, 0, 3);
    s->addWidget(l3, 0, 4);
    s->addWidget(Edit_Col, 0, 5);
    left->addWidget(GroupBox2);
    Label_Hint = new QLabel(this);
    Label_Hint->setObjectName(QStringLiteral("Label_Hint"));
    Label_Hint->setWordWrap(true);
    left->addWidget(Label_Hint);
    left->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    Btn_ok = new QPushButton(tr("Ok(&Y)"), this);
    Btn_ok->setObjectName(QStringLiteral("Btn_ok"));
    Btn_ok->setDefault(true);
    Btn_exit = new QPushButton(tr("Cancel(&C)"), this);
    Btn_exit->setObjectName(QStringLiteral("Btn_exit"));
    buttons->addWidget(Btn_ok);
    buttons->addWidget(Btn_exit);
    left->addLayout(buttons);

    SheetView = new TSheetView(this);
    SheetView->setObjectName(QStringLiteral("SheetView"));
    SheetView->setFixedWidth(190);
    SheetView->onPick = [this](int n) { setStart(n); };
    top->addWidget(SheetView);

    connect(Combo_Sheet, &QComboBox::activated, this, [this] { toolkit::guarded([this] { Combo_SheetChange(); }); });
    for (QSpinBox* e : {Edit_Columns, Edit_Rows})
        connect(e, &QSpinBox::valueChanged, this, [this] { toolkit::guarded([this] { GeometryChange(); }); });
    for (QDoubleSpinBox* e : {Edit_Width, Edit_Height, Edit_Top, Edit_Left, Edit_HPitch, Edit_VPitch})
        connect(e, &QDoubleSpinBox::valueChanged, this, [this] { toolkit::guarded([this] { GeometryChange(); }); });
    connect(Edit_Start, &QSpinBox::valueChanged, this, [this] { toolkit::guarded([this] { Edit_StartChange(); }); });
    for (QSpinBox* e : {Edit_Row, Edit_Col})
        connect(e, &QSpinBox::valueChanged, this, [this] { toolkit::guarded([this] { RowColChange(); }); });
    toolkit::onClick(Btn_ok, this, &TFrm_EnvelopSetup::Btn_okClick);
    toolkit::onClick(Btn_exit, this, &TFrm_EnvelopSetup::Btn_exitClick);
    toolkit::setTabOrder({Combo_Sheet, Edit_Columns, Edit_Rows, Edit_Width, Edit_Height, Edit_Top, Edit_Left,
                          Edit_HPitch, Edit_VPitch, Edit_Start, Edit_Row, Edit_Col, Btn_ok, Btn_exit});
    toolkit::centreOnScreen(this);
}

void TFrm_EnvelopSetup::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    toolkit::formShowOnce(e, shown_, [this] { FormShow(); });
}

void TFrm_EnvelopSetup::FormShow() {
    EnvelopSettings s = ReadEnvelopSettings(*Frm_Data->ConfigIni);
    // A hand-edited custom sheet that cannot print is shown as it is, with
    // what is wrong, for the user to put right.
    if (s.rejected.isCustom()) s.sheet = s.rejected;
    if (s.sheet.isCustom()) custom_ = s.sheet;
    filling_ = true;
    Combo_Sheet->setCurrentIndex(std::max(0, Combo_Sheet->findData(s.sheet.id)));
    filling_ = false;
    showSheet(s.sheet);
    setStart(s.start);
}

LabelSheet TFrm_EnvelopSetup::currentSheet() const {
    const QString id = Combo_Sheet->currentData().toString();
    if (id != QLatin1String("custom")) return SheetById(id);
    LabelSheet c = custom_;
    c.columns = Edit_Columns->value();
    c.rows = Edit_Rows->value();
    c.width = Edit_Width->value();
    c.height = Edit_Height->value();
    c.top = Edit_Top->value();
    c.left = Edit_Left->value();
    c.hpitch = Edit_HPitch->value();
    c.vpitch = Edit_VPitch->value();
    return c;
}

EnvelopSettings TFrm_EnvelopSetup::settings() const {
    EnvelopSettings s;
    s.sheet = currentSheet();
    s.start = Edit_Start->value();
    return s;
}

void TFrm_EnvelopSetup::showSheet(const LabelSheet& s) {
    filling_ = true;
    Edit_Columns->setValue(s.columns);
    Edit_Rows->setValue(s.rows);
    Edit_Width->setValue(s.width);
    Edit_Height->setValue(s.height);
    Edit_Top->setValue(s.top);
    Edit_Left->setValue(s.left);
    Edit_HPitch->setValue(s.hpitch);
    Edit_VPitch->setValue(s.vpitch);
    filling_ = false;
    // Only the custom sheet's geometry is the user's to type.
    for (QWidget* w : {static_cast<QWidget*>(Edit_Columns), static_cast<QWidget*>(Edit_Rows),
                       static_cast<QWidget*>(Edit_Width), static_cast<QWidget*>(Edit_Height),
                       static_cast<QWidget*>(Edit_Top), static_cast<QWidget*>(Edit_Left),
                       static_cast<QWidget*>(Edit_HPitch), static_cast<QWidget*>(Edit_VPitch)})
        w->setEnabled(s.isCustom());
    refresh();
}

void TFrm_EnvelopSetup::setStart(int start) {
    const LabelSheet sheet = currentSheet();
    const int per = std::max(1, sheet.perSheet());
    start = std::clamp(start, 1, per);
    filling_ = true;
    Edit_Start->setRange(1, per);
    Edit_Row->setRange(1, std::max(1, sheet.rows));
    Edit_Col->setRange(1, std::max(1, sheet.columns));
    Edit_Start->setValue(start);
    Edit_Row->setValue((start - 1) / std::max(1, sheet.columns) + 1);
    Edit_Col->setValue((start - 1) % std::max(1, sheet.columns) + 1);
    filling_ = false;
    refresh();
}

void TFrm_EnvelopSetup::refresh() {
    const EnvelopSettings s = settings();
    const QString problem = s.sheet.problem();
    Label_Problem->setText(problem);
    Label_Hint->setText(s.sheet.isEnvelope()
                            ? tr("Two labels of 101.9 x 37.6 mm across plain A4 paper, with the page header and "
                                 "footer. Labels start at the top left of the page area.")
                            : tr("Only the labels print: no page header or footer. Each label keeps its four lines, "
                                 "scaled to the label; a long address wraps and is cut at the label's edge."));
    // A sheet that cannot print is drawn with what is wrong, not as plain
    // paper it would not be.
    SheetView->setSettings(s, problem);
}

void TFrm_EnvelopSetup::Combo_SheetChange() {
    if (filling_) return;
    const QString id = Combo_Sheet->currentData().toString();
    showSheet(id == QLatin1String("custom") ? custom_ : SheetById(id));
    setStart(Edit_Start->value());
}

void TFrm_EnvelopSetup::GeometryChange() {
    if (filling_) return;
    if (Combo_Sheet->currentData().toString() == QLatin1String("custom")) custom_ = currentSheet();
    setStart(Edit_Start->value());
}

void TFrm_EnvelopSetup::Edit_StartChange() {
    if (filling_) return;
    setStart(Edit_Start->value());
}

void TFrm_EnvelopSetup::RowColChange() {
    if (filling_) return;
    setStart((Edit_Row->value() - 1) * std::max(1, currentSheet().columns) + Edit_Col->value());
}

void TFrm_EnvelopSetup::Btn_okClick() {
    const EnvelopSettings s = settings();
    const QString problem = s.sheet.problem();
    if (!problem.isEmpty()) {
        toolkit::dialogs().message(problem, kTitle, toolkit::Icon::Warning);
        return;
    }
    if (!WriteEnvelopSettings(*Frm_Data->ConfigIni, s)) {
        toolkit::dialogs().message(tr("The setting could not be saved in config.ini."), kTitle,
                                   toolkit::Icon::Warning, QMessageBox::Ok, Frm_Data->ConfigIni->lastError());
        return;
    }
    accept();
}

void TFrm_EnvelopSetup::Btn_exitClick() { reject(); }
