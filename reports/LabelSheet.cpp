#include "reports/LabelSheet.h"

#include <QCoreApplication>
#include <cmath>

#include "app/IniFile.h"

namespace {

const QString kSection = QStringLiteral("Envelop");
constexpr double kA4Width = 210, kA4Height = 297;
constexpr double kTolerance = 0.01;   // mm

// The envelope report's own layout.
constexpr double kLabelWidthPx = 385, kLabelHeightPx = 142;
constexpr double kHeaderPx = 40, kFooterPx = 40;
constexpr double kMarginTop = 10, kMarginBottom = 10, kMarginLeft = 3;

LabelSheet sheet(const char* id, const QString& name, int columns, int rows, double width, double height, double top,
                 double left, double hpitch, double vpitch) {
    LabelSheet s;
    s.id = QLatin1String(id);
    s.name = name;
    s.columns = columns;
    s.rows = rows;
    s.width = width;
    s.height = height;
    s.top = top;
    s.left = left;
    s.hpitch = hpitch;
    s.vpitch = vpitch;
    return s;
}

QString number(double mm) { return QString::number(mm, 'f', 2); }

double readMm(const IniFile& ini, const QString& key, double def) {
    bool ok = false;
    const double v = ini.readString(kSection, key, QString()).trimmed().toDouble(&ok);
    return ok && std::isfinite(v) ? v : def;
}

}  // namespace

QRectF LabelSheet::labelMm(int index) const {
    const int c = columns > 0 ? index % columns : 0;
    const int r = columns > 0 ? index / columns : 0;
    return QRectF(left + c * hpitch, top + r * vpitch, width, height);
}

bool LabelSheet::sameGeometry(const LabelSheet& o) const {
    auto eq = [](double a, double b) { return std::abs(a - b) < 0.005; };
    return columns == o.columns && rows == o.rows && eq(width, o.width) && eq(height, o.height) && eq(top, o.top) &&
           eq(left, o.left) && eq(hpitch, o.hpitch) && eq(vpitch, o.vpitch);
}

QString LabelSheet::problem() const {
    auto tr = [](const char* s) { return QCoreApplication::translate("LabelSheet", s); };
    if (columns < 1 || columns > 10) return tr("Columns must be from 1 to 10.");
    if (rows < 1 || rows > 40) return tr("Rows must be from 1 to 40.");
    if (width < 10 || height < 5) return tr("A label must be at least 10 mm wide and 5 mm high.");
    if (top < 0 || left < 0) return tr("The margins cannot be negative.");
    if (columns > 1 && hpitch < width - kTolerance)
        return tr("The labels overlap: the pitch across is less than the label width.");
    if (rows > 1 && vpitch < height - kTolerance)
        return tr("The labels overlap: the pitch down is less than the label height.");
    if (left + (columns - 1) * hpitch + width > kA4Width + kTolerance)
        return tr("The labels do not fit across an A4 sheet (210 mm).");
    if (top + (rows - 1) * vpitch + height > kA4Height + kTolerance)
        return tr("The labels do not fit down an A4 sheet (297 mm).");
    return QString();
}

LabelSheet EnvelopeLayout() {
    const double width = report::pxToMm(kLabelWidthPx), height = report::pxToMm(kLabelHeightPx);
    const double room = report::mmToPx(kA4Height - kMarginTop - kMarginBottom) - kHeaderPx - kFooterPx;
    return sheet("envelope",
                 QCoreApplication::translate("LabelSheet", "Plain A4 paper (envelope layout)"),
                 2, int(std::floor(room / kLabelHeightPx)), width, height, kMarginTop + report::pxToMm(kHeaderPx),
                 kMarginLeft, width, height);
}

const QVector<LabelSheet>& LabelSheets() {
    static const QVector<LabelSheet> sheets = [] {
        auto tr = [](const char* s) { return QCoreApplication::translate("LabelSheet", s); };
        QVector<LabelSheet> s;
        s << EnvelopeLayout();
        s << sheet("2x7", tr("2 x 7 labels, 99.1 x 38.1 mm (L7163)"), 2, 7, 99.1, 38.1, 15.15, 4.65,
                   101.6, 38.1);
        s << sheet("2x8", tr("2 x 8 labels, 99.1 x 33.9 mm (L7162)"), 2, 8, 99.1, 33.9, 12.9, 4.65,
                   101.6, 33.9);
        s << sheet("3x7", tr("3 x 7 labels, 63.5 x 38.1 mm (L7160)"), 3, 7, 63.5, 38.1, 15.15, 7.25,
                   66.04, 38.1);
        s << sheet("3x8", tr("3 x 8 labels, 70 x 37 mm (3475)"), 3, 8, 70, 37, 0.5, 0, 70, 37);
        LabelSheet custom = s[1];
        custom.id = QStringLiteral("custom");
        custom.name = tr("Custom label sheet");
        s << custom;
        return s;
    }();
    return sheets;
}

LabelSheet SheetById(const QString& id) {
    for (const LabelSheet& s : LabelSheets())
        if (s.id == id) return s;
    return EnvelopeLayout();
}

int EnvelopSettings::skipped() const { return std::clamp(start, 1, std::max(1, sheet.perSheet())) - 1; }

EnvelopSettings ReadEnvelopSettings(const IniFile& ini) {
    EnvelopSettings s;
    const QString id = ini.readString(kSection, QStringLiteral("Sheet"), QStringLiteral("envelope")).trimmed();
    s.sheet = SheetById(id);
    if (s.sheet.id != id && !id.isEmpty())
        s.problem = QCoreApplication::translate("LabelSheet", "config.ini names a label sheet \"%1\" that is not known.")
                        .arg(id);
    if (s.sheet.isCustom()) {
        LabelSheet c = s.sheet;
        c.columns = ini.readInteger(kSection, QStringLiteral("Columns"), c.columns);
        c.rows = ini.readInteger(kSection, QStringLiteral("Rows"), c.rows);
        c.width = readMm(ini, QStringLiteral("Width"), c.width);
        c.height = readMm(ini, QStringLiteral("Height"), c.height);
        c.top = readMm(ini, QStringLiteral("Top"), c.top);
        c.left = readMm(ini, QStringLiteral("Left"), c.left);
        c.hpitch = readMm(ini, QStringLiteral("HPitch"), c.hpitch);
        c.vpitch = readMm(ini, QStringLiteral("VPitch"), c.vpitch);
        // A hand-edited geometry that cannot print falls back to the default,
        // and says why.
        if (c.problem().isEmpty()) {
            s.sheet = c;
        } else {
            s.problem = c.problem();
            s.rejected = c;
            s.sheet = EnvelopeLayout();
        }
    }
    s.start = std::clamp(ini.readInteger(kSection, QStringLiteral("Start"), 1), 1, std::max(1, s.sheet.perSheet()));
    return s;
}

bool WriteEnvelopSettings(IniFile& ini, const EnvelopSettings& s) {
    bool ok = ini.writeString(kSection, QStringLiteral("Sheet"), s.sheet.id);
    ok = ini.writeInteger(kSection, QStringLiteral("Start"), s.start) && ok;
    if (s.sheet.isCustom()) {
        ok = ini.writeInteger(kSection, QStringLiteral("Columns"), s.sheet.columns) && ok;
        ok = ini.writeInteger(kSection, QStringLiteral("Rows"), s.sheet.rows) && ok;
        ok = ini.writeString(kSection, QStringLiteral("Width"), number(s.sheet.width)) && ok;
        ok = ini.writeString(kSection, QStringLiteral("Height"), number(s.sheet.height)) && ok;
        ok = ini.writeString(kSection, QStringLiteral("Top"), number(s.sheet.top)) && ok;
        ok = ini.writeString(kSection, QStringLiteral("Left"), number(s.sheet.left)) && ok;
        ok = ini.writeString(kSection, QStringLiteral("HPitch"), number(s.sheet.hpitch)) && ok;
        ok = ini.writeString(kSection, QStringLiteral("VPitch"), number(s.sheet.vpitch)) && ok;
    }
    return ok;
}

report::Band EnvelopeLabelBand(QSizeF labelPx) {
    const double sx = labelPx.width() / kLabelWidthPx;
    const double sy = labelPx.height() / kLabelHeightPx;
    // Type shrinks with a smaller label, but not below what still reads on
    // a narrow one: there the lines wrap or end in an ellipsis instead.
    const double fs = std::min(sy, std::max(0.8, sx));
    const double left = 16 * sx;
    const double right = labelPx.width() - left;
    auto font = [&](double pt) { return report::TypeFace{QStringLiteral("MS Sans Serif"), pt * fs, false}; };

    report::Band b(labelPx.height());
    report::Element post = report::Element::field(left, 24 * sy, QStringLiteral("PostCode"), font(10));
    post.maxRight = right;
    b.add(post);
    // A long address takes a second line when the label has room below the
    // name, moving company and name down; the rest ends in an ellipsis.
    report::Element address = report::Element::field(left, 48 * sy, QStringLiteral("Address"), font(12));
    address.maxRight = right;
    address.wrap = true;
    address.stretch = true;
    b.add(address);
    report::Element company = report::Element::field(left, 72 * sy, QStringLiteral("Company"), font(10));
    company.maxRight = right;
    b.add(company);
    report::Element name = report::Element::field(left, 96 * sy, QStringLiteral("Name"), font(10));
    name.maxRight = right;
    const int nameIndex = int(b.elements.size());
    b.add(name);
    report::Element receive = report::Element::label(96 * sx, 96 * sy, QStringLiteral("(Receive)"), font(10));
    receive.maxRight = right;
    // A long name pushes "(Receive)" along instead of running under it.
    receive.after = nameIndex;
    b.add(receive);
    return b;
}
