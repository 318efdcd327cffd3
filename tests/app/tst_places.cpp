// Where the program keeps its files: beside itself when run from a folder it
// may write, in the user's folders when installed. The installed program is
// a read-only copy of an installed tree (bin/ and share/tallix/ with the
// supplied database) with fresh user folders, as after a package install.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

#include "app/Places.h"
#include "app/U_Main.h"
#include "app/U_OpenDb.h"
#include "app/U_data.h"
#include "app/U_login.h"
#include "exchange/U_Export.h"
#include "exchange/U_email.h"
#include "toolkit/Modal.h"
#include "toolkit/ScriptedDialogs.h"

using toolkit::ScriptedDialogs;

namespace {
// A folder nobody may write, also root (through the immutable attribute).
class ReadOnly {
public:
    explicit ReadOnly(const QString& path) : path_(path) {
        if (::geteuid() != 0) {
            ok_ = QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
        } else {
            immutable_ = QProcess::execute("chattr", {"+i", path}) == 0;
            ok_ = immutable_ && !QFileInfo(path).isWritable();
        }
    }
    ~ReadOnly() {
        if (immutable_) QProcess::execute("chattr", {"-i", path_});
        else QFile::setPermissions(path_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    bool ok() const { return ok_; }

private:
    QString path_;
    bool ok_ = false;
    bool immutable_ = false;
};

QStringList filesUnder(const QString& dir) {
    QStringList found;
    QDir d(dir);
    for (const QFileInfo& fi : d.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        if (fi.isDir()) found += filesUnder(fi.filePath());
        else found << QDir(dir).relativeFilePath(fi.filePath());
    }
    return found;
}

// An installed tree: <root>/usr/bin (the program's folder) and
// <root>/usr/share/tallix/custom.db; fresh user folders in <root>/home.
struct Installed {
    QTemporaryDir root;
    QString bin;
    UserFolders user;
    bool ok = false;
    Installed() {
        bin = root.path() + "/usr/bin";
        const QString share = root.path() + "/usr/share/tallix";
        ok = QDir().mkpath(bin) && QDir().mkpath(share) && QFile::copy(TALLIX_SUPPLIED_DB, share + "/custom.db");
        QFile::setPermissions(share + "/custom.db", QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        user.config = root.path() + "/home/.config/tallix";
        user.data = root.path() + "/home/.local/share/tallix";
        user.documents = root.path() + "/home/Documents/Tallix";
    }
    Places places() const { return Places(bin, user); }
};
}  // namespace

class TestPlaces : public QObject {
    Q_OBJECT

private slots:
    void besideAWritableProgramFolder() {
        QTemporaryDir dir;
        QVERIFY(QFile::copy(TALLIX_SUPPLIED_DB, dir.path() + "/custom.db"));
        QFile::setPermissions(dir.path() + "/custom.db", QFile::ReadOwner | QFile::WriteOwner);
        QTemporaryDir home;
        const UserFolders user{home.path() + "/c", home.path() + "/d", home.path() + "/docs"};
        const Places p(dir.path(), user);
        QVERIFY(p.besideProgram());
        QCOMPARE(p.configFile(), dir.path() + "/config.ini");
        QCOMPARE(p.defaultDatabase(), dir.path() + "/custom.db");
        QCOMPARE(p.documentsDir(), dir.path());
        QCOMPARE(p.exportDir(), dir.path() + "/export");
        QCOMPARE(p.backupDirFor(p.defaultDatabase()), dir.path() + "/backups");
        QCOMPARE(exportPath(p.documentsDir(), "list", true), dir.path() + "/export/list.xlsx");
        QCOMPARE(exportPath(p.documentsDir(), "all", false), dir.path() + "/all.xlsx");
        QCOMPARE(exportPath(p.documentsDir(), "all.XLSX", false), dir.path() + "/all.XLSX");
        QCOMPARE(exportPath(p.documentsDir(), "all.xls", false), dir.path() + "/all.xls.xlsx");

        ScriptedDialogs dlg;
        {
            TFrm_Data data(p);
            QVERIFY(data.DBConnected);
            QCOMPARE(data.databaseFile(), dir.path() + "/custom.db");
            QVERIFY(data.ConfigIni->writeString("Config", "Category", "All"));
        }
        QVERIFY(QFile::exists(dir.path() + "/config.ini"));
        // The user's folders are not touched.
        QVERIFY(!QFileInfo::exists(home.path() + "/c"));
        QVERIFY(!QFileInfo::exists(home.path() + "/d"));

        // A missing database beside the program is not made: it fails as always.
        QVERIFY(QFile::remove(dir.path() + "/custom.db"));
        TFrm_Data data(p);
        QVERIFY(!data.DBConnected);
        QVERIFY(!QFile::exists(dir.path() + "/custom.db"));
    }

    void installedTreeKeepsEverythingInTheUserFolders() {
        Installed t;
        QVERIFY(t.ok);
        ReadOnly bin(t.bin), share(t.root.path() + "/usr/share/tallix");
        if (!bin.ok() || !share.ok()) QSKIP("this file system cannot make a folder read-only");
        const QStringList tree = filesUnder(t.root.path() + "/usr");
        const Places p = t.places();
        QVERIFY(!p.besideProgram());
        QCOMPARE(p.configFile(), t.user.config + "/config.ini");
        QCOMPARE(p.defaultDatabase(), t.user.data + "/custom.db");
        QCOMPARE(p.exportDir(), t.user.documents + "/export");
        QCOMPARE(p.backupDirFor(p.defaultDatabase()), t.user.data + "/backups");

        ScriptedDialogs dlg;
        TFrm_Main main;
        {
            auto data = std::make_unique<TFrm_Data>(p);
            Frm_Data = data.get();
            QVERIFY(data->DBConnected);
            QVERIFY2(dlg.requests.isEmpty(), qPrintable(dlg.messages().join("|")));
            QCOMPARE(data->databaseFile(), t.user.data + "/custom.db");
            QVERIFY(!data->Connection->readOnly());
            // The user's own copy: it can be written.
            data->Qry_Temp->setSql("update info set Company='Mine'");
            data->Qry_Temp->execSql();

            // The last user is remembered in the user's config.ini.
            TFrm_Login login;
            login.show();
            QVERIFY(login.ComboBox1->count() > 0);
            login.ComboBox1->setCurrentIndex(0);
            QTest::mouseClick(login.Btn_ok, Qt::LeftButton);
            QVERIFY(login.LoginOK);
            QVERIFY(QFile::exists(t.user.config + "/config.ini"));
            QCOMPARE(IniFile(t.user.config + "/config.ini").readInteger("login", "username", -1), 0);

            // The e-mail export writes into the user's documents.
            TFrm_Email email;
            QCOMPARE(TFrm_Email::exportFolder(), t.user.documents + "/export");
            email.RadioGroup1Item1->setChecked(true);
            QTest::keyClicks(email.Edit1, "mailing");
            QTest::mouseClick(email.Btn_start, Qt::LeftButton);
            QCOMPARE(QFileInfo(email.lastFile()).absolutePath(), t.user.documents + "/export");
            QVERIFY(email.lastFile().endsWith("mailing.txt"));
            QVERIFY(QFile::exists(email.lastFile()));

            // Open Database offers the user's database and keeps a choice in
            // the user's config.ini.
            const QString other = t.user.data + "/other.db";
            QVERIFY(QFile::copy(TALLIX_SUPPLIED_DB, other));
            QFile::setPermissions(other, QFile::ReadOwner | QFile::WriteOwner);
            dlg.fileAnswers << other;
            {
                toolkit::ScriptedModal script([&](QDialog* d) {
                    auto* o = qobject_cast<TFrm_OpenDb*>(d);
                    [&] { QCOMPARE(o->Edit_File->placeholderText(), t.user.data + "/custom.db"); }();
                    QTest::mouseClick(o->Btn_Browse, Qt::LeftButton);
                    QTest::mouseClick(o->Btn_OK, Qt::LeftButton);
                    return 1;
                });
                main.N50Click();
            }
            QCOMPARE(data->ConfigIni->readString("Config", "DBConn", ""), other);
            Frm_Data = nullptr;
        }
        {
            // The next start opens the chosen file; cancelling goes back to the
            // user's own database, which kept its change.
            TFrm_Data data(p);
            QCOMPARE(data.databaseFile(), t.user.data + "/other.db");
            QVERIFY(data.ConfigIni->writeString("Config", "DBConn", ""));
        }
        {
            TFrm_Data data(p);
            QCOMPARE(data.databaseFile(), t.user.data + "/custom.db");
            db::Query q(data.Connection);
            q.setSql("select Company from info");
            q.open();
            QCOMPARE(q.asString("Company"), QString("Mine"));
        }
        QCOMPARE(filesUnder(t.root.path() + "/usr"), tree);  // nothing written into the program's tree
    }

    void aReadOnlyFolderWithTheDatabaseBesideIsTheTemplate() {
        QTemporaryDir dir, home;
        QVERIFY(QFile::copy(TALLIX_SUPPLIED_DB, dir.path() + "/custom.db"));
        const UserFolders user{home.path() + "/c", home.path() + "/d", home.path() + "/docs"};
        ReadOnly ro(dir.path());
        if (!ro.ok()) QSKIP("this file system cannot make a folder read-only");
        const Places p(dir.path(), user);
        QVERIFY(!p.besideProgram());
        QCOMPARE(p.databaseTemplate(), dir.path() + "/custom.db");
        ScriptedDialogs dlg;
        TFrm_Data data(p);
        QVERIFY(data.DBConnected);
        QCOMPARE(data.databaseFile(), home.path() + "/d/custom.db");
        QVERIFY(!data.Connection->readOnly());
    }

    void aWritableCopyOfAnInstalledTreeStaysInstalled() {
        // Root may write /usr/bin; the layout, not the permission, decides.
        Installed t;
        QVERIFY(t.ok);
        const Places p = t.places();
        QVERIFY(!p.besideProgram());
        QCOMPARE(p.databaseTemplate(), QDir::cleanPath(t.root.path() + "/usr/share/tallix/custom.db"));
        // A program folder with a database of its own is a portable copy.
        QVERIFY(QFile::copy(TALLIX_SUPPLIED_DB, t.bin + "/custom.db"));
        QVERIFY(Places(t.bin, t.user).besideProgram());
    }

    void withoutTheTemplateTheStartFailsAndSaysWhy() {
        Installed t;
        QVERIFY(t.ok);
        QVERIFY(QFile::remove(t.root.path() + "/usr/share/tallix/custom.db"));
        QVERIFY(QDir().mkpath(t.root.path() + "/usr/share/tallix"));
        // Still installed (no database beside the program, folder read-only)?
        ReadOnly ro(t.bin);
        if (!ro.ok()) QSKIP("this file system cannot make a folder read-only");
        ScriptedDialogs dlg;
        TFrm_Data data(t.places());
        QVERIFY(!data.DBConnected);
        QVERIFY(data.terminateRequested());
        QCOMPARE(dlg.messages(), QStringList({"连接数据库失败! "}));
        QVERIFY2(dlg.last()->detail.contains("supplied database"), qPrintable(dlg.last()->detail));
        QVERIFY(!QFileInfo::exists(t.user.data + "/custom.db"));
    }

    void backupsGoToTheDataFolderWhenTheDatabaseFolderIsReadOnly() {
        QTemporaryDir dir, home;
        const UserFolders user{home.path() + "/c", home.path() + "/d", home.path() + "/docs"};
        const Places p(dir.path(), user);
        const QString shared = dir.path() + "/shared";
        QVERIFY(QDir().mkpath(shared));
        QCOMPARE(p.backupDirFor(shared + "/office.db"), shared + "/backups");
        // A backups folder that exists but cannot be written is not used either.
        QVERIFY(QDir().mkpath(shared + "/backups"));
        {
            ReadOnly ro(shared + "/backups");
            if (!ro.ok()) QSKIP("this file system cannot make a folder read-only");
            QCOMPARE(p.backupDirFor(shared + "/office.db"), home.path() + "/d/backups");
        }
        // A read-only folder without one: the data folder.
        const QString locked = dir.path() + "/locked";
        QVERIFY(QDir().mkpath(locked));
        ReadOnly ro(locked);
        QVERIFY(ro.ok());
        QCOMPARE(p.backupDirFor(locked + "/office.db"), home.path() + "/d/backups");
    }
};

QTEST_MAIN(TestPlaces)
#include "tst_places.moc"
