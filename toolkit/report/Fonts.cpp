#include "toolkit/report/Fonts.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QPaintDevice>

namespace report {

namespace {

// Faces with the same widths, tried before the Chinese fallback so that
// Latin text keeps the measure the layouts were drawn for.
const QHash<QString, QStringList>& likeFaces() {
    static const QHash<QString, QStringList> faces = {
        {QStringLiteral("arial"), {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                   QStringLiteral("Helvetica")}},
        {QStringLiteral("ms sans serif"), {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Liberation Sans"),
                                           QStringLiteral("Arimo")}},
        {QStringLiteral("宋体"), {QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
                                  QStringLiteral("Noto Serif CJK SC"), QStringLiteral("AR PL UMing CN")}},
        {QStringLiteral("simsun"), {QStringLiteral("宋体"), QStringLiteral("NSimSun"),
                                    QStringLiteral("Noto Serif CJK SC"), QStringLiteral("AR PL UMing CN")}},
    };
    return faces;
}

bool installed(const QString& family) {
    if (family.isEmpty()) return false;
    static QHash<QString, bool> known;
    const auto it = known.constFind(family);
    if (it != known.constEnd()) return *it;
    const bool has = QFontDatabase::hasFamily(family);
    known.insert(family, has);
    return has;
}

}  // namespace

QString cjkFamily() {
    static QString found = [] {
        const QStringList candidates = {
            QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Source Han Sans SC"),
            QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("WenQuanYi Zen Hei"),
            QStringLiteral("Microsoft YaHei"), QStringLiteral("SimSun"), QStringLiteral("PingFang SC"),
            QStringLiteral("Droid Sans Fallback")};
        for (const QString& f : candidates)
            if (installed(f)) return f;
        // Any installed face that says it writes Simplified Chinese.
        const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
        return chinese.isEmpty() ? QString() : chinese.first();
    }();
    return found;
}

QString resolvedFamily(const QString& requested) {
    static QHash<QString, QString> cache;
    const auto it = cache.constFind(requested);
    if (it != cache.constEnd()) return *it;
    QString family;
    if (installed(requested)) {
        family = requested;
    } else {
        for (const QString& f : likeFaces().value(requested.toLower()))
            if (installed(f)) {
                family = f;
                break;
            }
    }
    if (family.isEmpty()) family = cjkFamily();
    if (family.isEmpty()) family = QGuiApplication::font().family();
    cache.insert(requested, family);
    return family;
}

const QPaintDevice* measuringDevice() {
    static QImage device = [] {
        QImage img(1, 1, QImage::Format_ARGB32_Premultiplied);
        const int dotsPerMeter = qRound(96 / 0.0254);
        img.setDotsPerMeterX(dotsPerMeter);
        img.setDotsPerMeterY(dotsPerMeter);
        return img;
    }();
    return &device;
}

QFont reportFont(const TypeFace& face, const QPaintDevice* device) {
    const QString family = resolvedFamily(face.family);
    QFont f(family);
    QStringList families{family};
    const QString cjk = cjkFamily();
    if (!cjk.isEmpty() && cjk != family) families << cjk;
    f.setFamilies(families);
    // The painter scales report pixels to the device, so the size asked of
    // the device is the one that comes out right after that scaling.
    const int dpi = device ? device->logicalDpiY() : 96;
    f.setPointSizeF(face.pointSize * 96.0 / (dpi > 0 ? dpi : 96));
    f.setBold(face.bold);
    // Unhinted outlines measure the same at every resolution: what is laid
    // out at 96 dpi still fits when printed at 1200.
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setKerning(false);
    return f;
}

QFontMetricsF reportMetrics(const TypeFace& face) {
    // Asked for every text of every band: made once per face and size.
    static QHash<QString, QFontMetricsF> cache;
    const QString key = face.family + QLatin1Char('|') + QString::number(face.pointSize) +
                        (face.bold ? QLatin1String("|b") : QLatin1String("|n"));
    auto it = cache.constFind(key);
    if (it == cache.constEnd()) it = cache.insert(key, QFontMetricsF(reportFont(face), measuringDevice()));
    return *it;
}

}  // namespace report
