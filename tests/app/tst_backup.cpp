// Copies of a database file through the engine's online backup: consistent
// while another connection writes, checked before they replace anything,
// put back in one transaction; and how another program's use is seen.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUuid>
#include <atomic>

#include "app/db/Backup.h"
#include "app/db/Connection.h"
#include "app/db/DbError.h"
#include "app/db/Query.h"

namespace {

// A QSQLITE connection of the test's own, removed with it.
class Side {
public:
    explicit Side(const QString& file) : name_(QUuid::createUuid().toString()) {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name_);
        db.setDatabaseName(file);
        db.setConnectOptions("QSQLITE_BUSY_TIMEOUT=10000");
        ok_ = db.open();
    }
    ~Side() {
        QSqlDatabase::database(name_, false).close();
        QSqlDatabase::removeDatabase(name_);
    }
    bool ok() const { return ok_; }
    QSqlDatabase db() const { return QSqlDatabase::database(name_, false); }
    bool exec(const QString& sql) {
        QSqlQuery q(db());
        if (q.exec(sql)) return true;
        qWarning("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
        return false;
    }
    QVariant scalar(const QString& sql) {
        QSqlQuery q(db());
        return q.exec(sql) && q.next() ? q.value(0) : QVariant();
    }

private:
    QString name_;
    bool ok_ = false;
};

// Writes continuously, one row per transaction, together with a tally
// that must always equal the number of rows; counts what was committed.
class Writer : public QThread {
public:
    explicit Writer(const QString& file) : file_(file) {}
    std::atomic<int> committed{0};
    std::atomic<bool> stop{false};
    std::atomic<bool> failed{false};

protected:
    void run() override {
        Side side(file_);
        if (!side.ok()) {
            failed = true;
            return;
        }
        // Durability on disk is not what is tested here; the locks are.
        side.exec("pragma synchronous=off");
        for (int i = 1; !stop; ++i) {
            const bool ok = side.exec("begin immediate") &&
                            side.exec(QString("insert into probe(id, n) values(%1, %1)").arg(i)) &&
                            side.exec("update tally set n = n + 1") && side.exec("commit");
            if (!ok) {
                failed = true;
                return;
            }
            committed = i;
        }
    }

private:
    QString file_;
};

int pageSize(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QByteArray h = f.read(18);
    const int s = (uchar(h[16]) << 8) | uchar(h[17]);
    return s == 1 ? 65536 : s;
}

// Scribbles over the page headers of every page after the first: the file
// still starts like a database, but its b-trees are broken.
bool damage(const QString& file) {
    const int ps = pageSize(file);
    QFile f(file);
    if (ps == 0 || !f.open(QIODevice::ReadWrite)) return false;
    const qint64 pages = f.size() / ps;
    for (qint64 p = 1; p < pages; ++p) {
        f.seek(p * ps);
        f.write(QByteArray(12, '\x7f'));
    }
    return pages > 2;
}

bool writeFile(const QString& file, const QByteArray& bytes) {
    QFile f(file);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readAll(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TestBackup : public QObject {
    Q_OBJECT

    QTemporaryDir tmp;
    QString live;

    QString copyOfSupplied(const QString& name) {
        const QString f = tmp.filePath(name);
        QFile::remove(f);
        if (!QFile::copy(TALLIX_SUPPLIED_DB, f)) return QString();
        QFile::setPermissions(f, QFile::ReadOwner | QFile::WriteOwner);
        return f;
    }

private slots:
    void init() {
        live = copyOfSupplied("live.db");
        QVERIFY(!live.isEmpty());
    }

    void aCopyTakenWhileAnotherConnectionWritesHoldsEveryCommittedRow() {
        {
            Side s(live);
            QVERIFY(s.ok());
            QVERIFY(s.exec("create table probe (id integer primary key, n integer not null)"));
            QVERIFY(s.exec("create table tally (n integer not null)"));
            QVERIFY(s.exec("insert into tally values (0)"));
            // Big enough that the copy takes several steps, so the writer
            // gets in between them.
            QVERIFY(s.exec("create table filler (b blob)"));
            QVERIFY(s.exec("insert into filler select randomblob(4000) from "
                           "(with recursive c(x) as (select 1 union all select x + 1 from c where x < 3000) "
                           "select x from c)"));
        }
        Writer writer(live);
        writer.start();
        for (int round = 0; round < 3; ++round) {
            const QString copy = tmp.filePath(QString("copy%1.db").arg(round));
            QTRY_VERIFY_WITH_TIMEOUT(writer.committed > 30 * (round + 1) || writer.failed, 20000);
            QVERIFY(!writer.failed);
            const int before = writer.committed;
            try {
                db::backupDatabaseFile(live, copy);
            } catch (const db::DbError& e) {
                writer.stop = true;
                writer.wait();
                QFAIL(qPrintable(e.text()));
            }
            const int after = writer.committed;
            QCOMPARE(db::integrityProblems(copy), QString());
            Side c(copy);
            QVERIFY(c.ok());
            const int rows = c.scalar("select count(*) from probe").toInt();
            // Every row committed before the copy began, none half written,
            // and no gap: the copy is one moment of the database.
            QVERIFY2(rows >= before && rows <= after + 1,
                     qPrintable(QString("%1 rows, %2 before, %3 after").arg(rows).arg(before).arg(after)));
            QCOMPARE(c.scalar("select n from tally").toInt(), rows);
            QCOMPARE(c.scalar("select max(id) from probe").toInt(), rows);
            QCOMPARE(c.scalar("select count(*) from filler").toInt(), 3000);
        }
        writer.stop = true;
        writer.wait();
        QVERIFY(!writer.failed);
        QVERIFY(QDir(tmp.path()).entryList({"*.part-*"}).isEmpty());
    }

    void aBackupReplacesAnOlderOneOnlyWhenSound() {
        const QString target = tmp.filePath("backup.db");
        db::backupDatabaseFile(live, target);
        QCOMPARE(db::checkTallixDatabase(target), QString());
        {
            Side s(live);
            QVERIFY(s.exec("update info set Company='Changed'"));
        }
        db::backupDatabaseFile(live, target);
        {
            Side b(target);
            QCOMPARE(b.scalar("select Company from info").toString(), QString("Changed"));
        }
        const QByteArray good = readAll(target);

        // A damaged source is copied as it is, fails the check, and the
        // older backup stays as it was.
        const QString broken = copyOfSupplied("broken.db");
        QVERIFY(damage(broken));
        QVERIFY_THROWS_EXCEPTION(db::DbError, db::backupDatabaseFile(broken, target));
        QCOMPARE(readAll(target), good);
        // Nor does a missing source, or the database itself as the target.
        QVERIFY_THROWS_EXCEPTION(db::DbError, db::backupDatabaseFile(tmp.filePath("none.db"), target));
        QVERIFY_THROWS_EXCEPTION(db::DbError, db::backupDatabaseFile(live, live));
        QVERIFY_THROWS_EXCEPTION(db::DbError, db::backupDatabaseFile(live, tmp.path()));
        QVERIFY_THROWS_EXCEPTION(db::DbError, db::backupDatabaseFile(live, tmp.filePath("no/such/folder/x.db")));
        QCOMPARE(readAll(target), good);
        QCOMPARE(db::checkTallixDatabase(live), QString());
        QCOMPARE(QDir(tmp.path()).entryList({"*.part-*", "*-journal"}), QStringList());
    }

    void onlySoundTallixDatabasesPassTheCheck() {
        QCOMPARE(db::checkTallixDatabase(live), QString());
        auto says = [](const QString& file, const QString& part) {
            const QString why = db::checkTallixDatabase(file);
            if (!why.contains(part)) qWarning("%s: %s", qPrintable(file), qPrintable(why));
            return why.contains(part);
        };
        const QString foreign = tmp.filePath("foreign.db");
        {
            Side s(foreign);
            QVERIFY(s.exec("create table notes (x text)"));
        }
        QVERIFY(says(foreign, "not a Tallix database"));
        const QString broken = copyOfSupplied("broken.db");
        QVERIFY(damage(broken));
        QVERIFY(says(broken, "damaged"));
        const QString half = tmp.filePath("half.db");
        QVERIFY(writeFile(half, readAll(live).left(int(QFileInfo(live).size() / 2))));
        QVERIFY(!db::checkTallixDatabase(half).isEmpty());
        const QString text = tmp.filePath("notes.db");
        QVERIFY(writeFile(text, "Company,Phone\nACME,123\n"));
        QVERIFY(says(text, "not a database"));
        const QString empty = tmp.filePath("empty.db");
        QVERIFY(writeFile(empty, ""));
        QVERIFY(says(empty, "empty"));
        QVERIFY(says(tmp.filePath("missing.db"), "does not exist"));
        QVERIFY(says(tmp.path(), "folder"));
        // The checks change nothing: the empty file stays empty.
        QCOMPARE(QFileInfo(empty).size(), 0);
    }

    void aRestoreReplacesTheDataInOneTransaction() {
        // The program's own connection stays open, idle, as in the program.
        {
            Side s(live);
            QVERIFY(s.exec("insert into custom (Company) values ('One')"));
            QVERIFY(s.exec("insert into custom (Company) values ('Two')"));
        }
        const QString saved = tmp.filePath("saved.db");
        db::backupDatabaseFile(live, saved);
        db::Connection conn;
        conn.open(db::Connection::connStringForFile(live));
        auto count = [&conn] {
            db::Query q(&conn);
            q.setSql("select count(*) from custom");
            q.open();
            return int(q.field(0).asInteger());
        };
        const int customers = count();
        QCOMPARE(customers, 2);
        {
            Side s(live);
            QVERIFY(s.exec("delete from custom"));
        }
        QCOMPARE(count(), 0);
        db::restoreDatabaseFile(saved, live);
        QCOMPARE(count(), customers);
        QCOMPARE(db::integrityProblems(live), QString());
        QVERIFY_THROWS_EXCEPTION(db::DbError, db::restoreDatabaseFile(live, live));
        QVERIFY_THROWS_EXCEPTION(db::DbError, db::restoreDatabaseFile(tmp.filePath("none.db"), live));
        QCOMPARE(count(), customers);
    }

    void anotherProgramsUseIsSeen() {
        // Idle connections hold no lock.
        db::Connection conn;
        conn.open(db::Connection::connStringForFile(live));
        QCOMPARE(db::busyElsewhere(live), QString());
        {
            // A reader in the middle of a transaction is seen.
            Side reader(live);
            QVERIFY(reader.exec("begin"));
            QVERIFY(reader.scalar("select count(*) from custom").isValid());
            QVERIFY(!db::busyElsewhere(live).isEmpty());
            QVERIFY(reader.exec("commit"));
        }
        QCOMPARE(db::busyElsewhere(live), QString());

        // Every holder of a presence mark sees the others, idle or not.
        db::PresenceMark mine(live);
        QVERIFY(mine.held());
        QVERIFY(mine.alone());
        {
            db::PresenceMark theirs(live);
            QVERIFY(theirs.held());
            QVERIFY(!mine.alone());
            QVERIFY(!theirs.alone());
            // The marks stand in no one's way: the engine still writes.
            Side s(live);
            QVERIFY(s.exec("update info set Company='Still writable'"));
            QCOMPARE(db::busyElsewhere(live), QString());
            // Asking again does not lose the mark.
            QVERIFY(!mine.alone());
        }
        QVERIFY(mine.alone());
        // A mark on a read-only handle is seen, and sees, the same way.
        QFile::setPermissions(live, QFile::ReadOwner);
        if (QFileInfo(live).isWritable()) return;  // root: permission bits do not stop it
        db::PresenceMark reading(live);
        QVERIFY(reading.held());
        QVERIFY(!mine.alone());
        QVERIFY(!reading.alone());
        QFile::setPermissions(live, QFile::ReadOwner | QFile::WriteOwner);
    }
};

QTEST_GUILESS_MAIN(TestBackup)
#include "tst_backup.moc"
