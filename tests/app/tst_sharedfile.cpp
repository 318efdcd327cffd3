// Two programs writing to one database file at once: each waits its turn
// (up to the busy time-out) instead of being refused.
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include "app/db/Connection.h"
#include "app/db/DbError.h"
#include "app/db/Query.h"
#include "app/db/Transaction.h"
#include "tests/support/TestDb.h"

namespace {

// A second program: adds rows contacts to the customer "Shared Ltd" of the
// file, each as the contact editor does (the customer looked up and held,
// then the contact stored, in one transaction).
int writer(const QString& file, const QString& tag, int rows) {
    try {
        db::Connection c;
        c.open(db::Connection::connStringForFile(file));
        db::Query contacts(&c), find(&c);
        contacts.setSql("select * from contact where ContactId=-1");
        contacts.open();
        for (int i = 0; i < rows; ++i) {
            db::TransactionGuard t(c);
            find.setSql("select CustID from custom where Company='Shared Ltd' for share");
            find.open();
            contacts.append();
            contacts.setValue("CustID", find.field("CustID").asString());
            contacts.setValue("Name", QString("%1 %2").arg(tag).arg(i));
            contacts.post();
            t.commit();
        }
    } catch (const db::DbError& e) {
        QTextStream(stderr) << tag << ": " << e.text() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

class TestSharedFile : public QObject {
    Q_OBJECT
private slots:
    void twoProgramsAddingAtOnceBothFinish() {
        if (testsupport::TestDb::onServer()) QSKIP("two programs on one database file");
        QTemporaryDir dir;
        const QString file = dir.filePath("custom.db");
        QVERIFY(QFile::copy(TALLIX_SUPPLIED_DB, file));
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
        {
            db::Connection c;
            c.open(db::Connection::connStringForFile(file));
            db::Query q(&c);
            q.setSql("insert into custom (Company) values ('Shared Ltd')");
            q.execSql();
        }
        QProcess one, two;
        for (auto [p, tag] : {std::pair{&one, "A"}, std::pair{&two, "B"}}) {
            p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p->start(QCoreApplication::applicationFilePath(), {"--writer", file, tag, "500"});
        }
        QVERIFY(one.waitForFinished(120000) && two.waitForFinished(120000));
        QCOMPARE(one.exitCode(), 0);
        QCOMPARE(two.exitCode(), 0);
        db::Connection c;
        c.open(db::Connection::connStringForFile(file));
        db::Query q(&c);
        q.setSql("select count(*) from contact where Name like 'A %' or Name like 'B %'");
        q.open();
        QCOMPARE(q.field(0).asInteger(), 1000);
    }
};

int main(int argc, char** argv) {
    if (argc == 5 && qstrcmp(argv[1], "--writer") == 0) {
        QCoreApplication app(argc, argv);
        return writer(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), atoi(argv[4]));
    }
    QCoreApplication app(argc, argv);
    TestSharedFile test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_sharedfile.moc"
