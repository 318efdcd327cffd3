#include "reports/U_R_CustBasic.h"

#include "app/U_data.h"
#include "app/db/Statement.h"

namespace {
// Extra room after each field, customer band and contact band: L(i) is the
// sum of the widths before it plus these.
constexpr double kCustomerGaps[kMaxPrintFields] = {8, 30, 80, 160, 230, 290};
constexpr double kContactGaps[kMaxPrintFields] = {8, 50, 140, 220, 285, 350};
constexpr double kCustomerValue = 75;   // from a caption to its value
constexpr double kContactValue = 65;
constexpr double kFieldTop = 5;
constexpr double kGap = 4;              // a value stops this short of the next caption
}  // namespace

QVector<double> PrintFieldLefts(const QVector<int>& widths, bool contactBand) {
    const double* gaps = contactBand ? kContactGaps : kCustomerGaps;
    QVector<double> lefts;
    double sum = 0;
    for (int i = 0; i < widths.size() && i < kMaxPrintFields; ++i) {
        lefts << (i == 0 ? gaps[0] : sum + gaps[i]);
        sum += widths[i];
    }
    return lefts;
}

void PlacePrintFields(report::Band& band, const QVector<PrintField>& fields, bool contactBand, double bandWidth) {
    band.elements.clear();
    QVector<int> widths;
    for (int i = 0; i < fields.size() && i < kMaxPrintFields; ++i) widths << fields[i].width;
    const QVector<double> lefts = PrintFieldLefts(widths, contactBand);
    const double valueOffset = contactBand ? kContactValue : kCustomerValue;
    for (int i = 0; i < lefts.size(); ++i) {
        // Each field keeps to its own place: up to the next caption.
        const double right = i + 1 < lefts.size() ? lefts[i + 1] - kGap : bandWidth;
        report::Element caption =
            report::Element::label(lefts[i], kFieldTop, fields[i].name + QStringLiteral(": "));
        caption.maxRight = right;
        const int captionIndex = int(band.elements.size());
        band.add(caption);
        report::Element value = report::Element::field(lefts[i] + valueOffset, kFieldTop, fields[i].field);
        value.maxRight = right;
        // A caption longer than its room pushes its value along rather than
        // printing over it.
        value.after = captionIndex;
        band.add(value);
    }
}

QVector<PrintField> ChosenPrintFields(const QString& tableName) {
    db::Query* q = Frm_Data->Qry_Print;
    q->close();
    q->setSql(db::Statement(QStringLiteral("select * from T_FieldShow where Print=1 and TableName=:table") +
                            (tableName == QLatin1String("Contact") ? QStringLiteral(" order by ShowID")
                                                                    : QStringLiteral(" order by ID")))
                  .bind(QStringLiteral("table"), tableName));
    q->open();
    QVector<PrintField> out;
    for (q->first(); !q->eof(); q->next())
        out.append({q->asString(QStringLiteral("Field")), q->asString(QStringLiteral("Name")),
                    int(q->field(QStringLiteral("Width")).asInteger())});
    return out;
}

TFrm_R_CustBasic::TFrm_R_CustBasic(QWidget* parent)
    : TReportWindow(parent),
      QRBand1(Report.pageHeader),
      QRBand2(Report.groupHeader),
      QRSubDetail1(Report.subDetail),
      QRBand3(Report.pageFooter) {
    setObjectName(QStringLiteral("Frm_R_CustBasic"));
    Report.title = QStringLiteral("客户基本资料");
    Report.page.orientation = QPageLayout::Landscape;
    Report.baseFont = {QStringLiteral("Arial"), 10, false};

    QRBand1 = report::Band(51);
    QRBand1.add(report::Element::label(480, 16, QStringLiteral("客户基本资料"),
                                       report::TypeFace{QStringLiteral("宋体"), 16, true}));

    QRBand2 = report::Band(25);
    QRBand2.background = QColor(0xE3, 0xE3, 0xE3);   // the 3D-light grey of dialog faces

    QRSubDetail1 = report::Band(24);

    QRBand3 = report::Band(24);
    QRBand3.add(report::Element::label(48, 4, QStringLiteral("第")));
    QRBand3.add(report::Element::pageNumber(70, 4));
    QRBand3.add(report::Element::label(120, 4, QStringLiteral("页")));
    QRBand3.add(report::Element::label(848, 5, QStringLiteral("打印时间")));
    QRBand3.add(report::Element::printDateTime(928, 5));

    FormCreate();
}

TFrm_R_CustBasic::~TFrm_R_CustBasic() = default;

void TFrm_R_CustBasic::FormCreate() {
    customers_ = std::make_unique<CustomerRows>(Frm_Data->Qry_Cust);
    contacts_ = std::make_unique<CustomerContacts>(Frm_Data->Qry_Cust, Frm_Data->Connection);
    Report.master = customers_.get();
    Report.details = contacts_.get();
    BuildCustomerBand();
    BuildContactBand();
}

void TFrm_R_CustBasic::BuildCustomerBand() {
    CustomerFields = ChosenPrintFields(QStringLiteral("Custom"));
    PlacePrintFields(QRBand2, CustomerFields, false, Report.page.contentPx().width());
}

void TFrm_R_CustBasic::BuildContactBand() {
    ContactFields = ChosenPrintFields(QStringLiteral("Contact"));
    PlacePrintFields(QRSubDetail1, ContactFields, true, Report.page.contentPx().width());
}
