#pragma once
// Envelope labels on paper: the envelope report's own layout, or a ready-cut
// A4 label sheet given by its geometry, and where on the sheet to start.
// Kept in config.ini, section [Envelop].
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVector>

#include "toolkit/report/Report.h"

class IniFile;

struct LabelSheet {
    QString id;     // "envelope", a built-in sheet's id, or "custom"
    QString name;   // as the setup dialog lists it
    int columns = 2;
    int rows = 7;
    double width = 0, height = 0;     // label, mm
    double top = 0, left = 0;         // first label's corner from the sheet's, mm
    double hpitch = 0, vpitch = 0;    // from one label's corner to the next one's, mm

    bool isEnvelope() const { return id == QLatin1String("envelope"); }
    bool isCustom() const { return id == QLatin1String("custom"); }
    int perSheet() const { return columns * rows; }
    // Label index (from 0, row by row) on the sheet, mm from the sheet's corner.
    QRectF labelMm(int index) const;
    // Why the geometry cannot be printed on A4 portrait; empty when it can.
    QString problem() const;
    bool sameGeometry(const LabelSheet& o) const;
};

// The envelope report's own layout (two columns of 385 x 142 report pixels
// below a page header), described as a sheet so the dialog can draw it.
LabelSheet EnvelopeLayout();
// The choices in order: the envelope layout first, the ready-cut sheets,
// then the custom entry (with the geometry of the first sheet as a start).
const QVector<LabelSheet>& LabelSheets();
// The listed sheet with that id, or the envelope layout.
LabelSheet SheetById(const QString& id);

struct EnvelopSettings {
    LabelSheet sheet = EnvelopeLayout();
    int start = 1;   // label number to start at on the first sheet, from 1
    // Set when config.ini names a sheet that cannot be used (an unknown one,
    // or a hand-edited geometry that does not fit): why, and what it named.
    // The labels then go on plain paper, and the user is told.
    QString problem;
    LabelSheet rejected;

    // Labels left empty on the first sheet.
    int skipped() const;
};

EnvelopSettings ReadEnvelopSettings(const IniFile& ini);
bool WriteEnvelopSettings(IniFile& ini, const EnvelopSettings& s);

// The label band for a label of labelPx (report pixels): post code, address,
// company and name with "(Receive)", placed for the envelope layout's
// 385 x 142 and scaled to the label, each text kept inside it.
report::Band EnvelopeLabelBand(QSizeF labelPx);
