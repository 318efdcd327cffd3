#include "tests/exchange/sheet/SheetFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QtEndian>
#include <zip.h>

#include <algorithm>
#include <cstring>

#include "exchange/sheet/NumberFormat.h"

namespace testfiles {

// ---- zip ------------------------------------------------------------------------------

namespace {

// With TALLIX_KEEP_TEST_FILES naming a folder, every package and compound
// file made here is also written there: the fuzz targets start from them.
void keep(const QByteArray& bytes, const QString& kind) {
    static const QString dir = qEnvironmentVariable("TALLIX_KEEP_TEST_FILES");
    if (dir.isEmpty() || bytes.isEmpty() || bytes.size() > (256 << 10)) return;
    const QString name = QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().left(16));
    QDir().mkpath(dir);
    write(QDir(dir).filePath(name + QLatin1Char('.') + kind), bytes);
}

// A part's content pulled from its generator as libzip reads it.
struct Generated {
    std::function<QByteArray()> next;
    QByteArray piece;
    qsizetype at = 0;
    bool done = false;
    zip_error_t error;

    static zip_int64_t call(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
        auto* g = static_cast<Generated*>(state);
        switch (cmd) {
        case ZIP_SOURCE_OPEN:
        case ZIP_SOURCE_CLOSE:
            return 0;
        case ZIP_SOURCE_READ: {
            zip_uint64_t n = 0;
            while (n < len && !g->done) {
                if (g->at == g->piece.size()) {
                    g->piece = g->next();
                    g->at = 0;
                    g->done = g->piece.isEmpty();
                    continue;
                }
                const auto k = std::min<zip_uint64_t>(len - n, zip_uint64_t(g->piece.size() - g->at));
                memcpy(static_cast<char*>(data) + n, g->piece.constData() + g->at, k);
                g->at += qsizetype(k);
                n += k;
            }
            return zip_int64_t(n);
        }
        case ZIP_SOURCE_STAT:
            zip_stat_init(static_cast<zip_stat_t*>(data));
            return sizeof(zip_stat_t);
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&g->error, data, len);
        case ZIP_SOURCE_FREE:
            zip_error_fini(&g->error);
            delete g;
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return ZIP_SOURCE_SUPPORTS_READABLE;
        default:
            zip_error_set(&g->error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
        }
    }
};

}  // namespace

QByteArray zip(const QList<Part>& parts) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* out = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (!out) return QByteArray();
    zip_source_keep(out);  // read back after the archive is closed
    zip_t* z = zip_open_from_source(out, ZIP_CREATE | ZIP_TRUNCATE, &error);
    zip_error_fini(&error);
    if (!z) {
        zip_source_free(out);  // the reference kept above
        zip_source_free(out);  // and the one the archive would have taken
        return QByteArray();
    }
    bool ok = true;
    for (const Part& p : parts) {
        zip_source_t* src = nullptr;
        if (p.generate) {
            auto* g = new Generated{p.generate, {}, 0, false, {}};
            zip_error_init(&g->error);
            src = zip_source_function(z, &Generated::call, g);
            if (!src) {
                zip_error_fini(&g->error);
                delete g;
            }
        } else {
            // libzip reads the data when the archive is closed: parts outlives that.
            src = zip_source_buffer(z, p.data.constData(), zip_uint64_t(p.data.size()), 0);
        }
        const zip_int64_t at = src ? zip_file_add(z, p.name.toUtf8().constData(), src, ZIP_FL_ENC_UTF_8) : -1;
        if (at < 0) {
            if (src) zip_source_free(src);
            ok = false;
            break;
        }
        zip_set_file_compression(z, zip_uint64_t(at), p.stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
    }
    if (!ok || zip_close(z) != 0) {
        zip_discard(z);  // what zip_close could not finish
        zip_source_free(out);
        return QByteArray();
    }
    QByteArray bytes;
    zip_stat_t st;
    if (zip_source_open(out) == 0) {
        if (zip_source_stat(out, &st) == 0 && (st.valid & ZIP_STAT_SIZE)) {
            bytes.resize(qsizetype(st.size));
            if (zip_source_read(out, bytes.data(), st.size) != zip_int64_t(st.size)) bytes.clear();
        }
        zip_source_close(out);
    }
    zip_source_free(out);
    QString kind = QStringLiteral("zip");
    for (const Part& p : parts) {
        if (p.name == QLatin1String("xl/workbook.xml")) kind = QStringLiteral("xlsx");
        if (p.name == QLatin1String("content.xml")) kind = QStringLiteral("ods");
    }
    keep(bytes, kind);
    return bytes;
}

QByteArray unzip(const QString& path, const QString& name) {
    int err = 0;
    zip_t* z = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &err);
    if (!z) return QByteArray();
    QByteArray out;
    zip_stat_t st;
    if (zip_stat(z, name.toUtf8().constData(), 0, &st) == 0 && (st.valid & ZIP_STAT_SIZE)) {
        if (zip_file_t* f = zip_fopen(z, name.toUtf8().constData(), 0)) {
            out.resize(qsizetype(st.size));
            if (zip_fread(f, out.data(), st.size) != zip_int64_t(st.size)) out.clear();
            zip_fclose(f);
        }
    }
    zip_discard(z);
    return out;
}

namespace {
QString esc(const QString& s) { return s.toHtmlEscaped(); }
const char* kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char* kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
}  // namespace

QString sheetXml(const QString& rows) {
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet xmlns=\"%1\" "
                          "xmlns:r=\"%2\"><sheetData>%3</sheetData></worksheet>")
        .arg(QLatin1String(kMain), QLatin1String(kRel), rows);
}

QString sharedXml(const QStringList& texts) {
    QString s = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<sst xmlns=\"%1\" count=\"%2\" uniqueCount=\"%2\">")
                    .arg(QLatin1String(kMain))
                    .arg(texts.size());
    for (const QString& t : texts) s += QStringLiteral("<si><t xml:space=\"preserve\">%1</t></si>").arg(esc(t));
    return s + QStringLiteral("</sst>");
}

QString stylesXml(const QList<QPair<int, QString>>& formats, const QList<int>& styleFormatIds) {
    QString s = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<styleSheet xmlns=\"%1\">").arg(QLatin1String(kMain));
    if (!formats.isEmpty()) {
        s += QStringLiteral("<numFmts count=\"%1\">").arg(formats.size());
        for (const auto& f : formats)
            s += QStringLiteral("<numFmt numFmtId=\"%1\" formatCode=\"%2\"/>").arg(f.first).arg(esc(f.second));
        s += QStringLiteral("</numFmts>");
    }
    s += QStringLiteral("<cellXfs count=\"%1\"><xf numFmtId=\"0\"/>").arg(styleFormatIds.size() + 1);
    for (int id : styleFormatIds) s += QStringLiteral("<xf numFmtId=\"%1\" applyNumberFormat=\"1\"/>").arg(id);
    return s + QStringLiteral("</cellXfs></styleSheet>");
}

QByteArray Xlsx::bytes() const {
    QList<Part> parts;
    QString types = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                                   "<Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>");
    parts << Part{QStringLiteral("[Content_Types].xml"), types.toUtf8()};
    parts << Part{QStringLiteral("_rels/.rels"),
                  QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                                 "<Relationship Id=\"rId1\" Type=\"%1/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>")
                      .arg(QLatin1String(kRel))
                      .toUtf8()};
    QString wb = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook xmlns=\"%1\" xmlns:r=\"%2\">")
                     .arg(QLatin1String(kMain), QLatin1String(kRel));
    if (date1904) wb += QStringLiteral("<workbookPr date1904=\"1\"/>");
    if (activeTab >= 0) wb += QStringLiteral("<bookViews><workbookView activeTab=\"%1\"/></bookViews>").arg(activeTab);
    wb += QStringLiteral("<sheets>");
    QString rels = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">");
    for (int i = 0; i < sheets.size(); ++i) {
        const QString name = i < sheetNames.size() ? sheetNames[i] : QStringLiteral("Sheet%1").arg(i + 1);
        wb += QStringLiteral("<sheet name=\"%1\" sheetId=\"%2\" r:id=\"rId%2\"/>").arg(esc(name)).arg(i + 1);
        rels += QStringLiteral("<Relationship Id=\"rId%1\" Type=\"%2/worksheet\" Target=\"worksheets/sheet%1.xml\"/>")
                    .arg(i + 1)
                    .arg(QLatin1String(kRel));
        parts << Part{QStringLiteral("xl/worksheets/sheet%1.xml").arg(i + 1), sheets[i].toUtf8()};
    }
    wb += QStringLiteral("</sheets></workbook>");
    if (!shared.isEmpty()) {
        rels += QStringLiteral("<Relationship Id=\"rIdS\" Type=\"%1/sharedStrings\" Target=\"sharedStrings.xml\"/>").arg(QLatin1String(kRel));
        parts << Part{QStringLiteral("xl/sharedStrings.xml"), shared.toUtf8()};
    }
    if (!styles.isEmpty()) {
        rels += QStringLiteral("<Relationship Id=\"rIdT\" Type=\"%1/styles\" Target=\"styles.xml\"/>").arg(QLatin1String(kRel));
        parts << Part{QStringLiteral("xl/styles.xml"), styles.toUtf8()};
    }
    rels += QStringLiteral("</Relationships>");
    parts << Part{QStringLiteral("xl/workbook.xml"), wb.toUtf8()};
    parts << Part{QStringLiteral("xl/_rels/workbook.xml.rels"), rels.toUtf8()};
    for (const Part& e : extra) {
        bool replaced = false;
        for (Part& p : parts)
            if (p.name == e.name) {
                p = e;
                replaced = true;
            }
        if (!replaced) parts << e;
    }
    return zip(parts);
}

QByteArray ods(const QString& tables, const QString& activeTable) {
    const QString content = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-content "
        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
        "xmlns:calcext=\"urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0\" office:version=\"1.2\">"
        "<office:body><office:spreadsheet>%1</office:spreadsheet></office:body></office:document-content>")
                                .arg(tables);
    QList<Part> parts;
    parts << Part{QStringLiteral("mimetype"), QByteArray("application/vnd.oasis.opendocument.spreadsheet"), {}, true};
    parts << Part{QStringLiteral("content.xml"), content.toUtf8()};
    if (!activeTable.isEmpty()) {
        const QString settings = QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-settings "
            "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
            "xmlns:config=\"urn:oasis:names:tc:opendocument:xmlns:config:1.0\"><office:settings>"
            "<config:config-item-set config:name=\"ooo:view-settings\"><config:config-item-map-indexed config:name=\"Views\">"
            "<config:config-item-map-entry><config:config-item config:name=\"ActiveTable\" config:type=\"string\">%1"
            "</config:config-item></config:config-item-map-entry></config:config-item-map-indexed></config:config-item-set>"
            "</office:settings></office:document-settings>")
                                     .arg(esc(activeTable));
        parts << Part{QStringLiteral("settings.xml"), settings.toUtf8()};
    }
    return zip(parts);
}

// ---- .xls -----------------------------------------------------------------------------

namespace {

void put16(QByteArray& b, quint16 v) {
    char c[2];
    qToLittleEndian(v, c);
    b.append(c, 2);
}
void put32(QByteArray& b, quint32 v) {
    char c[4];
    qToLittleEndian(v, c);
    b.append(c, 4);
}
void putDouble(QByteArray& b, double v) {
    quint64 u;
    memcpy(&u, &v, 8);
    char c[8];
    qToLittleEndian(u, c);
    b.append(c, 8);
}
void record(QByteArray& s, quint16 type, const QByteArray& body) {
    put16(s, type);
    put16(s, quint16(body.size()));
    s += body;
}
QByteArray utf16(const QString& t) {
    return QByteArray(reinterpret_cast<const char*>(t.utf16()), t.size() * 2);
}

}  // namespace

QByteArray Xls::bytes() const { return compoundFile(QStringLiteral("Workbook"), stream()); }

QByteArray Xls::stream() const {
    // Shared strings of all sheets.
    QStringList sst;
    for (const XlsSheet& s : sheets)
        for (const XlsCell& c : s.cells)
            if (c.value.typeId() == QMetaType::QString && !sst.contains(c.value.toString())) sst << c.value.toString();

    auto bof = [](quint16 dt) {
        QByteArray b;
        put16(b, 0x0600);
        put16(b, dt);
        put16(b, 0x0DBB);
        put16(b, 0x07CC);
        put32(b, 0);
        put32(b, 0x0006);
        return b;
    };
    QByteArray globals;
    record(globals, 0x0809, bof(0x0005));
    if (password) {
        QByteArray fp;
        put16(fp, 0);
        put16(fp, 0x1234);
        put16(fp, 0x5678);
        record(globals, 0x002F, fp);
    }
    {
        QByteArray cp;
        put16(cp, 1200);
        record(globals, 0x0042, cp);
    }
    {
        QByteArray w;
        for (int i = 0; i < 4; ++i) put16(w, 0);
        put16(w, 0x0038);
        put16(w, quint16(activeTab));
        put16(w, 0);
        put16(w, 1);
        put16(w, 600);
        record(globals, 0x003D, w);
    }
    {
        QByteArray d;
        put16(d, date1904 ? 1 : 0);
        record(globals, 0x0022, d);
    }
    // Cell styles: 0 General, 1 a date (format 14), 2 a date and time (format 22).
    for (int fmt : {0, 14, 22}) {
        QByteArray xf;
        put16(xf, 0);
        put16(xf, quint16(fmt));
        xf += QByteArray(16, '\0');
        record(globals, 0x00E0, xf);
    }
    // Room: a workbook stream shorter than 4096 bytes would live in the
    // compound file's mini stream, which compoundFile() does not write.
    for (int i = 0; i < 700; ++i) {
        QByteArray ih;
        put16(ih, 1200);
        record(globals, 0x00E1, ih);
    }
    QList<int> sheetPosAt;  // where each BOUNDSHEET's position field is
    for (const XlsSheet& s : sheets) {
        QByteArray bs;
        put32(bs, 0);  // filled in below
        bs += char(0);
        bs += char(0);
        bs += char(s.name.size());
        bs += char(1);
        bs += utf16(s.name);
        sheetPosAt << int(globals.size()) + 4;
        record(globals, 0x0085, bs);
    }
    {
        QByteArray b;
        put32(b, quint32(sst.size()));
        put32(b, quint32(sst.size()));
        for (const QString& t : sst) {
            put16(b, quint16(t.size()));
            b += char(1);
            b += utf16(t);
        }
        record(globals, 0x00FC, b);
    }
    record(globals, 0x000A, QByteArray());

    QByteArray out = globals;
    for (int i = 0; i < sheets.size(); ++i) {
        const XlsSheet& s = sheets[i];
        qToLittleEndian(quint32(out.size()), out.data() + sheetPosAt[i]);
        QByteArray sh;
        record(sh, 0x0809, bof(0x0010));
        int rows = 0, cols = 0;
        for (const XlsCell& c : s.cells) {
            rows = std::max(rows, c.row + 1);
            cols = std::max(cols, c.col + 1);
        }
        if (s.claimedRows >= 0) rows = s.claimedRows;
        if (s.claimedCols >= 0) cols = s.claimedCols;
        {
            QByteArray d;
            put32(d, 0);
            put32(d, quint32(rows));
            put16(d, 0);
            put16(d, quint16(cols));
            put16(d, 0);
            record(sh, 0x0200, d);
        }
        for (const XlsCell& c : s.cells) {
            QByteArray b;
            put16(b, quint16(c.row));
            put16(b, quint16(c.col));
            const int type = c.value.typeId();
            if (type == QMetaType::QString) {
                put16(b, 0);
                put32(b, quint32(sst.indexOf(c.value.toString())));
                record(sh, 0x00FD, b);
            } else if (type == QMetaType::Bool) {
                put16(b, 0);
                b += char(c.value.toBool() ? 1 : 0);
                b += char(0);
                record(sh, 0x0205, b);
            } else if (type == QMetaType::QDate || type == QMetaType::QDateTime) {
                const QDateTime dt = type == QMetaType::QDate ? QDateTime(c.value.toDate(), QTime(0, 0)) : c.value.toDateTime();
                put16(b, type == QMetaType::QDate ? 1 : 2);
                putDouble(b, sheet::dateTimeToSerial(dt, date1904));
                record(sh, 0x0203, b);
            } else {
                put16(b, 0);
                putDouble(b, c.value.toDouble());
                record(sh, 0x0203, b);
            }
        }
        record(sh, 0x000A, QByteArray());
        out += sh;
    }
    return out;
}

QByteArray compoundFile(const QString& streamName, const QByteArray& stream, bool scattered) {
    constexpr int kSector = 512;
    QByteArray s = stream;
    while (s.size() < 4096) s += char(0);
    const int streamSectors = int((s.size() + kSector - 1) / kSector);
    s.resize(streamSectors * kSector, '\0');
    const int totalSectors = 2 + streamSectors;  // FAT, directory, stream
    const int fatSectors = (totalSectors + 127) / 128;
    QByteArray header(512, '\0');
    const char sig[8] = {'\xD0', '\xCF', '\x11', '\xE0', '\xA1', '\xB1', '\x1A', '\xE1'};
    memcpy(header.data(), sig, 8);
    qToLittleEndian(quint16(0x003E), header.data() + 0x18);
    qToLittleEndian(quint16(0x0003), header.data() + 0x1A);
    qToLittleEndian(quint16(0xFFFE), header.data() + 0x1C);
    qToLittleEndian(quint16(9), header.data() + 0x1E);
    qToLittleEndian(quint16(6), header.data() + 0x20);
    qToLittleEndian(quint32(fatSectors), header.data() + 0x2C);
    qToLittleEndian(quint32(fatSectors), header.data() + 0x30);  // the directory follows the FAT
    qToLittleEndian(quint32(4096), header.data() + 0x38);
    qToLittleEndian(quint32(0xFFFFFFFE), header.data() + 0x3C);
    qToLittleEndian(quint32(0xFFFFFFFE), header.data() + 0x44);
    for (int i = 0; i < 109; ++i)
        qToLittleEndian(quint32(i < fatSectors ? i : 0xFFFFFFFF), header.data() + 0x4C + 4 * i);
    // FAT: its own sectors, the directory (one sector), the stream's chain.
    QByteArray fat(fatSectors * kSector, '\xFF');
    auto setFat = [&](int i, quint32 v) { qToLittleEndian(v, fat.data() + 4 * i); };
    for (int i = 0; i < fatSectors; ++i) setFat(i, 0xFFFFFFFD);
    const int dirSector = fatSectors;
    setFat(dirSector, 0xFFFFFFFE);
    const int first = dirSector + 1;
    // Where the stream's sector i lies.
    auto placed = [&](int i) { return first + (scattered ? streamSectors - 1 - i : i); };
    for (int i = 0; i < streamSectors; ++i) setFat(placed(i), i + 1 < streamSectors ? quint32(placed(i + 1)) : 0xFFFFFFFE);
    if (scattered) {
        QByteArray reversed;
        for (int i = streamSectors - 1; i >= 0; --i) reversed += s.mid(qsizetype(i) * kSector, kSector);
        s = reversed;
    }
    // Directory: the root and the one stream.
    QByteArray dir(kSector, '\0');
    auto entry = [&](int at, const QString& name, int type, quint32 child, quint32 start, quint32 size) {
        char* e = dir.data() + at * 128;
        const QByteArray n = QByteArray(reinterpret_cast<const char*>(name.utf16()), name.size() * 2);
        memcpy(e, n.constData(), size_t(n.size()));
        qToLittleEndian(quint16(n.size() + 2), e + 0x40);
        e[0x42] = char(type);
        e[0x43] = 1;  // black
        qToLittleEndian(quint32(0xFFFFFFFF), e + 0x44);
        qToLittleEndian(quint32(0xFFFFFFFF), e + 0x48);
        qToLittleEndian(child, e + 0x4C);
        qToLittleEndian(start, e + 0x74);
        qToLittleEndian(size, e + 0x78);
    };
    entry(0, QStringLiteral("Root Entry"), 5, 1, 0xFFFFFFFE, 0);
    entry(1, streamName, 2, 0xFFFFFFFF, quint32(placed(0)), quint32(stream.size() < 4096 ? 4096 : stream.size()));
    for (int i = 2; i < 4; ++i) {
        char* e = dir.data() + i * 128;
        qToLittleEndian(quint32(0xFFFFFFFF), e + 0x44);
        qToLittleEndian(quint32(0xFFFFFFFF), e + 0x48);
        qToLittleEndian(quint32(0xFFFFFFFF), e + 0x4C);
    }
    const QByteArray file = header + fat + dir + s;
    keep(file, QStringLiteral("xls"));
    return file;
}

bool write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

}  // namespace testfiles
