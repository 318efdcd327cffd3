#include "reports/U_R_Cust.h"

#include "app/U_data.h"

namespace {
constexpr double kFullWidth = 770;
constexpr double kCellGap = 3;   // a value stops this short of the next rule
}  // namespace

const QVector<double>& TFrm_R_Cust::ColumnRules() {
    static const QVector<double> rules = {-1, 262, 509, 572, 668, 768};
    return rules;
}

TFrm_R_Cust::TFrm_R_Cust(QWidget* parent)
    : TReportWindow(parent),
      QRPageHeader(Report.pageHeader),
      QRDetail(Report.detail),
      QRPageFooter(Report.pageFooter) {
    setObjectName(QStringLiteral("Frm_R_Cust"));
    Report.title = QStringLiteral("Customer");
    Report.page.orientation = QPageLayout::Portrait;
    const report::TypeFace base{QStringLiteral("MS Sans Serif"), 10, false};
    const report::TypeFace heading{QStringLiteral("MS Sans Serif"), 10, true};
    Report.baseFont = base;

    QRPageHeader = report::Band(75);
    QRPageHeader.add(report::Element::label(280, 8, QStringLiteral("Customer"),
                                            report::TypeFace{QStringLiteral("宋体"), 16, true}));
    QRPageHeader.add(report::Element::hRule(0, 48, kFullWidth));
    QRPageHeader.add(report::Element::hRule(0, 72, kFullWidth));
    QRPageHeader.add(report::Element::label(6, 55, QStringLiteral("Company"), heading));
    QRPageHeader.add(report::Element::label(267, 56, QStringLiteral("Address"), heading));
    QRPageHeader.add(report::Element::label(515, 56, QStringLiteral("Contact"), heading));
    QRPageHeader.add(report::Element::label(585, 56, QStringLiteral("Tel"), heading));
    // The column holds the main contact's mobile number, so it says so.
    QRPageHeader.add(report::Element::label(672, 56, QStringLiteral("Mobile"), heading));
    for (double x : ColumnRules()) QRPageHeader.add(report::Element::vRule(x, 49, 25));

    QRDetail = report::Band(26);
    const struct {
        const char* field;
        double x, y;
    } cells[] = {{"Company", 5, 5}, {"Address", 267, 5}, {"Name", 514, 6}, {"Tel", 585, 5}, {"Mobile", 672, 6}};
    const QVector<double>& rules = ColumnRules();
    for (const auto& c : cells) {
        report::Element e = report::Element::field(c.x, c.y, QLatin1String(c.field), base);
        // Each value stays inside its column.
        for (double r : rules)
            if (r > c.x) {
                e.maxRight = r - kCellGap + 1.5;
                break;
            }
        QRDetail.add(e);
    }
    for (double x : rules) QRDetail.add(report::Element::vRule(x, -1, 25));
    QRDetail.add(report::Element::hRule(0, 23, kFullWidth));

    QRPageFooter = report::Band(40);
    QRPageFooter.add(report::Element::label(520, 8, QStringLiteral("Date")));
    QRPageFooter.add(report::Element::printDate(560, 8));
    QRPageFooter.add(report::Element::label(48, 16, QStringLiteral("Page NO.")));
    QRPageFooter.add(report::Element::pageNumber(112, 16));

    contacts_ = std::make_unique<CustomerContacts>(Frm_Data->Qry_Cust, Frm_Data->Connection);
    rows_ = std::make_unique<CustomerListData>(Frm_Data->Qry_Cust, contacts_.get());
    Report.master = rows_.get();
}

TFrm_R_Cust::~TFrm_R_Cust() = default;
