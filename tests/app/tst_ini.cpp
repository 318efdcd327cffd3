#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <QStringEncoder>

#include "app/IniFile.h"
#include "tests/support/FileSizeLimit.h"

class TestIni : public QObject {
    Q_OBJECT

    static void writeText(const QString& path, const QByteArray& text) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    static QByteArray readText(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void namesAreCaseInsensitive() {
        QTemporaryDir dir;
        const QString path = dir.filePath("config.ini");
        writeText(path, "[LOGIN]\nUSERNAME=2\nCatecode=0101\n");
        IniFile ini(path);
        QCOMPARE(ini.readInteger("login", "username", -1), 2);
        QCOMPARE(ini.readString("Login", "CateCode", ""), QString("0101"));
        // Writing the key in another letter case changes the one key.
        QVERIFY(ini.writeInteger("login", "Username", 5));
        QCOMPARE(ini.readInteger("LOGIN", "USERNAME", -1), 5);
        QCOMPARE(readText(path).toLower().count("username="), 1);
    }

    void defaultsForMissingAndBadValues() {
        QTemporaryDir dir;
        const QString path = dir.filePath("config.ini");
        writeText(path, "[login]\nusername=abc\nCountry= 3 \nType=\nfrom=2.5\n");
        IniFile ini(path);
        QCOMPARE(ini.readInteger("login", "username", -1), -1);
        QCOMPARE(ini.readInteger("login", "Country", -1), 3);
        QCOMPARE(ini.readInteger("login", "Type", -1), -1);
        QCOMPARE(ini.readInteger("login", "from", -1), -1);
        QCOMPARE(ini.readInteger("login", "Province", -1), -1);
        QCOMPARE(ini.readString("Config", "DBConn", "dflt"), QString("dflt"));
        // A key of another section is not found in this one.
        QCOMPARE(ini.readInteger("Config", "Country", 7), 7);
    }

    void firstWriteCreatesTheFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("config.ini");
        IniFile ini(path);
        QCOMPARE(ini.readString("Config", "DBConn", ""), QString());
        QVERIFY(!QFile::exists(path));
        QVERIFY(ini.writeString("Config", "DBConn", "/data/x.db"));
        QVERIFY(QFile::exists(path));
        QCOMPARE(IniFile(path).readString("config", "dbconn", ""), QString("/data/x.db"));
    }

    void writesKeepEverythingElse() {
        QTemporaryDir dir;
        const QString path = dir.filePath("config.ini");
        writeText(path,
                  "; kept comment\n[Config]\nDBConn=\nCategory=All customers\n\n"
                  "this line means nothing\n[login]\nusername=1\n[Other]\nx=y\n");
        IniFile ini(path);
        QVERIFY(ini.writeString("login", "Country", "4"));
        QVERIFY(ini.writeString("Config", "DBConn", "C:\\db\\a.db"));
        QVERIFY(ini.writeString("New", "k", "v"));
        const QByteArray text = readText(path);
        QVERIFY(text.contains("; kept comment"));
        QVERIFY(text.contains("this line means nothing"));
        QCOMPARE(ini.readString("Config", "Category", ""), QString("All customers"));
        QCOMPARE(ini.readInteger("login", "username", -1), 1);
        QCOMPARE(ini.readInteger("login", "Country", -1), 4);
        QCOMPARE(ini.readString("Other", "x", ""), QString("y"));
        QCOMPARE(ini.readString("New", "k", ""), QString("v"));
        QCOMPARE(ini.readString("Config", "DBConn", ""), QString("C:\\db\\a.db"));
        // The new key went into its own section, not after the last one.
        QVERIFY(text.indexOf("Country=4") < text.indexOf("[Other]"));
    }

    // A write changes the bytes of its one line: other encodings, CR and
    // CRLF line ends and a byte-order mark come back exactly as they were.
    void untouchedBytesSurviveAWrite() {
        QTemporaryDir dir;
        const QString path = dir.filePath("config.ini");
        const QByteArray gbk("; \xbf\xcd\xbb\xa7\xb9\xdc\xc0\xed");  // written by a GBK system
        const QByteArray before = "\xef\xbb\xbf[Config]\rCategory=\xc8\xab\xb2\xbf\r" + gbk +
                                  "\r[login]\r\nCountry = 2\r\nType=1";
        writeText(path, before);
        IniFile ini(path);
        // A line in GB18030 in a UTF-8 file reads as what it says.
        QCOMPARE(ini.readString("config", "category", "?"), QString("全部"));
        QVERIFY(ini.writeInteger("login", "Country", 5));
        QByteArray expected = before;
        expected.replace("Country = 2", "Country = 5");
        QCOMPARE(readText(path), expected);
        // A new key ends its line as the file does, and the last line gets one.
        QVERIFY(ini.writeString("Config", "DBConn", "/d/x.db"));
        QVERIFY(ini.writeString("login", "from", "3"));
        expected = "\xef\xbb\xbf[Config]\rCategory=\xc8\xab\xb2\xbf\r" + gbk +
                   "\rDBConn=/d/x.db\r[login]\r\nCountry = 5\r\nType=1\rfrom=3\r";
        QCOMPARE(readText(path), expected);
        QCOMPARE(IniFile(path).readInteger("LOGIN", "type", -1), 1);
    }

    void unicodeValuesRoundTrip() {
        QTemporaryDir dir;
        IniFile ini(dir.filePath("config.ini"));
        QVERIFY(ini.writeString("login", "Category", "华南客户"));
        QCOMPARE(IniFile(dir.filePath("config.ini")).readString("login", "Category", ""),
                 QString("华南客户"));
    }

    // A file a Chinese system wrote (GB18030, no byte-order mark) is read
    // and written in GB18030; every other byte stays.
    void gb18030FileKeepsItsEncoding() {
        QTemporaryDir dir;
        const QString path = dir.filePath("config.ini");
        auto gb = [](const QString& s) { return QByteArray(QStringEncoder("GB18030")(s)); };
        const QByteArray before = "[Config]\r\nCategory=" + gb("全部客户") + "\r\n; " + gb("华南区，深圳") +
                                  "\r\n[login]\r\nCategory=" + gb("华南") + "\r\nCateCode=01\r\n";
        writeText(path, before);
        IniFile ini(path);
        QCOMPARE(ini.readString("Config", "Category", "?"), QString("全部客户"));
        QCOMPARE(ini.readString("login", "Category", "?"), QString("华南"));
        QVERIFY(ini.writeString("login", "Category", "北方客户"));
        QByteArray expected = before;
        expected.replace("Category=" + gb("华南"), "Category=" + gb("北方客户"));
        QCOMPARE(readText(path), expected);
        QVERIFY(ini.writeString("login", "Note", "€ 5"));  // GB18030 holds every character
        QCOMPARE(IniFile(path).readString("login", "Note", ""), QString("€ 5"));
        QVERIFY(readText(path).endsWith("Note=" + gb("€ 5") + "\r\n"));
    }

    void otherEncodingsKeepTheirs() {
        QTemporaryDir dir;
        // UTF-16 with its mark.
        const QString wide = dir.filePath("wide.ini");
        const QByteArray utf16 = "\xff\xfe" + QByteArray(QStringEncoder(QStringEncoder::Utf16LE)(
                                                   QString("[Config]\r\nCategory=全部\r\n")));
        writeText(wide, utf16);
        IniFile w(wide);
        QCOMPARE(w.readString("Config", "Category", "?"), QString("全部"));
        QVERIFY(w.writeString("Config", "Category", "华南"));
        QCOMPARE(readText(wide), "\xff\xfe" + QByteArray(QStringEncoder(QStringEncoder::Utf16LE)(
                                                 QString("[Config]\r\nCategory=华南\r\n"))));
        // An 8-bit Western file: its bytes stay, and a value it cannot hold
        // is refused with the reason instead of written in another encoding.
        const QString latin = dir.filePath("latin.ini");
        writeText(latin, "[Config]\nCategory=Caf\xe9\n");
        IniFile l(latin);
        QCOMPARE(l.readString("Config", "Category", "?"), QString("Café"));
        QVERIFY(l.writeString("Config", "Category", "Thé"));
        QCOMPARE(readText(latin), QByteArray("[Config]\nCategory=Th\xe9\n"));
        QString told;
        l.setFailureReport([&](const QString& why) { told = why; });
        QVERIFY(!l.writeString("Config", "Category", "华南"));
        QVERIFY(!told.isEmpty());
        QCOMPARE(readText(latin), QByteArray("[Config]\nCategory=Th\xe9\n"));
    }

    // The disk fills up while the file is written: the old file stays whole
    // and the failure is told.
    void fullDiskKeepsTheOldFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("config.ini");
        const QByteArray before = "[Config]\nDBConn=\n[login]\nusername=1\n";
        writeText(path, before);
        IniFile ini(path);
        QString told;
        ini.setFailureReport([&](const QString& why) { told = why; });
        {
            testsupport::FileSizeLimit disk(64);
            QVERIFY(!ini.writeString("Config", "DBConn", QString(80, QLatin1Char('x'))));
        }
        QVERIFY2(ini.lastError().contains("too large"), qPrintable(ini.lastError()));
        QCOMPARE(told, ini.lastError());
        QCOMPARE(readText(path), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({"config.ini"}));  // no leftovers
    }

    void unwritableFileReportsFailure() {
        IniFile ini("/nonexistent-folder/for-sure/config.ini");
        QVERIFY(!ini.writeString("Config", "DBConn", "x"));
        QVERIFY(!ini.lastError().isEmpty());
        QCOMPARE(ini.readString("Config", "DBConn", "d"), QString("d"));
    }
};

QTEST_GUILESS_MAIN(TestIni)
#include "tst_ini.moc"
