// The record each import leaves, and undoing the last import: what is
// deleted, what is restored, and when it is refused.
#include <QCryptographicHash>
#include <QTest>

#include "app/U_Main.h"
#include "app/U_data.h"
#include "app/db/DbError.h"
#include "app/db/Query.h"
#include "app/db/RowInserter.h"
#include "app/db/Transaction.h"
#include "customers/StoredRows.h"
#include "exchange/ImportLog.h"
#include "exchange/Windows.h"
#include "tests/support/AppFixture.h"

class TestImportLog : public QObject, testsupport::AppFixture {
    Q_OBJECT

    db::Connection* c() { return Frm_Data->Connection; }

    qlonglong insertCustomer(const QString& company, const QString& tel = "0755-1") {
        db::Query q(c());
        q.setSql("select * from custom where CustID=-1");
        q.open();
        q.append();
        q.setValue("Company", company);
        q.setValue("Tel", tel);
        q.setValue("F_User", "Tom");
        q.post();
        return q.field("CustID").asInteger();
    }
    qlonglong insertContact(qlonglong custId, const QString& name) {
        db::Query q(c());
        q.setSql("select * from contact where ContactId=-1");
        q.open();
        q.append();
        q.setValue("CustID", QString::number(custId));
        q.setValue("Name", name);
        q.post();
        return q.field("ContactId").asInteger();
    }
    importlog::Entry entry(const QString& user, const QString& table = "custom") {
        importlog::Entry e;
        e.user = user;
        e.at = QDateTime(QDate(2024, 5, 6), QTime(7, 8));
        e.file = "/data/customers.xlsx";
        e.table = table;
        e.onMatch = "update";
        e.matchBy = "company";
        return e;
    }
    // An "import" adding two customers and a contact person: the rows it
    // added, as the import run records them.
    QList<qlonglong> addRun(const QString& user = "Tom") {
        db::TransactionGuard g(*c());
        const qlonglong a = insertCustomer("Added One"), b = insertCustomer("Added Two");
        const qlonglong p = insertContact(a, "Ann");
        importlog::Recorder r(c(), entry(user));
        r.added("custom", {a, b});
        r.added("contact", {p});
        r.finish(2, 0, 0, 1);
        g.commit();
        return {a, b, p};
    }
    QString undoFails() {
        const auto e = importlog::last(c());
        if (!e) return "no entry";
        try {
            importlog::undo(c(), *e, "Tom");
        } catch (const db::DbError& err) {
            return err.text();
        }
        return QString();
    }

private slots:
    void initTestCase() { registerExchangeWindows(); }
    void init() {
        QVERIFY(start());
        setUser("Tom", 1);
        QVERIFY(importlog::available(c()));
    }
    void cleanup() { stop(); }

    void undoAfterAdd() {
        const QList<qlonglong> keys = addRun();
        const auto e = importlog::last(c());
        QVERIFY(e);
        QCOMPARE(e->user, QString("Tom"));
        QCOMPARE(e->file, QString("/data/customers.xlsx"));
        QCOMPARE(e->added, 2);
        QCOMPARE(e->contacts, 1);
        QCOMPARE(e->at, QDateTime(QDate(2024, 5, 6), QTime(7, 8)));
        QCOMPARE(t->scalar("select count(*) from T_ImportRow"), 3);
        QCOMPARE(importlog::confirmation(*e),
                 QString("Undo the import of /data/customers.xlsx into customers made by Tom on 2024-05-06 07:08?\n\n"
                         "This will delete the 2 customers it added, then delete the 1 contact it added."));
        const importlog::UndoOutcome out = importlog::undo(c(), *e, "Tom");
        QCOMPARE(out.customersDeleted, 2);
        QCOMPARE(out.contactsDeleted, 1);
        QCOMPARE(out.restored, 0);
        QCOMPARE(t->scalar("select count(*) from custom"), 0);
        QCOMPARE(t->scalar("select count(*) from contact"), 0);
        QCOMPARE(t->scalar("select count(*) from T_ImportRow"), 0);
        QCOMPARE(t->text(QString("select * from T_ImportLog where LogID=%1").arg(e->id), "UndoneBy"), QString("Tom"));
        QVERIFY(!importlog::last(c()));  // nothing left to undo
        Q_UNUSED(keys);
    }

    // Overwritten values come back, typed columns included; the run before
    // becomes the last one.
    void undoAfterUpdate() {
        addRun();
        const qlonglong id = insertCustomer("Kept Co", "020-1");
        const qlonglong p = insertContact(id, "Bea");
        QVERIFY(t->exec(QString("update contact set Main=1, Birthday='1980-02-03 00:00:00', Email=NULL where ContactId=%1").arg(p)));
        {
            db::TransactionGuard g(*c());
            QVERIFY(t->exec(QString("update custom set Tel='020-2', City='Guangzhou' where CustID=%1").arg(id)));
            QVERIFY(t->exec(QString("update contact set Main=0, Birthday=NULL, Email='b@x.cn' where ContactId=%1").arg(p)));
            importlog::Recorder r(c(), entry("Tom", "contact"));
            r.updated("custom", id, {{"Tel", "020-1"}, {"City", QVariant()}});
            r.updated("contact", p, {{"Main", true}, {"Birthday", QDateTime(QDate(1980, 2, 3), QTime(0, 0))}, {"Email", QVariant()}});
            r.finish(0, 2, 3, 0);
            g.commit();
        }
        const auto e = importlog::last(c());
        QVERIFY(e);
        QCOMPARE(e->updated, 2);
        const importlog::UndoOutcome out = importlog::undo(c(), *e, "Admin");
        QCOMPARE(out.restored, 2);
        const QString cust = QString("select * from custom where CustID=%1").arg(id);
        QCOMPARE(t->text(cust, "Tel"), QString("020-1"));
        QVERIFY(t->value(cust, "City").isNull());
        const QString contact = QString("select * from contact where ContactId=%1").arg(p);
        QCOMPARE(t->text(contact, "Main"), QString("True"));
        QCOMPARE(t->text(contact, "Birthday"), QString("1980-02-03"));
        QVERIFY(t->value(contact, "Email").isNull());
        // The add run before it is now the last, and can be undone in turn.
        const auto before = importlog::last(c());
        QVERIFY(before && before->id < e->id);
        QCOMPARE(before->added, 2);
    }

    // A row changed, deleted or given new dependants since: refused, naming
    // the row, and nothing is undone.
    void undoRefusedAfterLaterChange() {
        const QList<qlonglong> k = addRun();
        const QStringList changes = {
            QString("update custom set Fax='1' where CustID=%1").arg(k[1]),
            QString("delete from contact where ContactId=%1").arg(k[2]),
            QString("insert into contact (CustID, Name) values ('%1', 'Later')").arg(k[0]),
            QString("insert into T_Sale (SaleNo, CustID, Total) values ('S', %1, 1)").arg(k[1]),
            QString("insert into T_Schedule (Subject, CustID) values ('Call', %1)").arg(k[0]),
        };
        const QStringList why = {
            QString("Customer No. %1 \"Added Two\" was changed since the import.").arg(k[1]),
            QString("Contact No. %1 was deleted since the import.").arg(k[2]),
            QString("Customer No. %1 has the contact \"Later\", added since the import.").arg(k[0]),
            QString("Customer No. %1 has a sale made since the import.").arg(k[1]),
            QString("Customer No. %1 has a schedule made since the import.").arg(k[0]),
        };
        for (int i = 0; i < changes.size(); ++i) {
            if (i > 0) {
                cleanup();
                init();
                addRun();
            }
            QVERIFY(t->exec(changes[i]));
            const int customers = t->scalar("select count(*) from custom");
            const QString text = undoFails();
            QVERIFY2(text.startsWith("The import of /data/customers.xlsx cannot be undone: 1 of its rows was changed "
                                     "since it was made. Nothing was undone.\n"),
                     qPrintable(text));
            QVERIFY2(text.endsWith("\n" + why[i]), qPrintable(text));
            QCOMPARE(t->scalar("select count(*) from custom"), customers);
            QVERIFY(importlog::last(c()));
            QVERIFY(!c()->inTransaction());
        }
    }

    // Only a super user or the user who imported may undo.
    void rightsAndMenu() {
        addRun("Admin");
        const auto e = importlog::last(c());
        QCOMPARE(importlog::refusal(*e, "Tom", 1),
                 QString("The last import was made by Admin. Only Admin or a super user can undo it."));
        QCOMPARE(importlog::refusal(*e, "Admin", 1), QString());
        QCOMPARE(importlog::refusal(*e, "Eve", 0), QString());

        // Through the System menu: the common user is told, nothing changes.
        main->N61->trigger();
        QCOMPARE(dlg->messages().last(), QString("The last import was made by Admin. Only Admin or a super user can undo it."));
        QCOMPARE(t->scalar("select count(*) from custom"), 2);
        // A super user is asked; No changes nothing, Yes undoes.
        setUser("Eve", 0);
        dlg->answers << QMessageBox::No;
        main->N61->trigger();
        QCOMPARE(t->scalar("select count(*) from custom"), 2);
        dlg->answers << QMessageBox::Yes;
        main->N61->trigger();
        QCOMPARE(t->scalar("select count(*) from custom"), 0);
        QCOMPARE(dlg->messages().last(),
                 QString("The import of /data/customers.xlsx was undone: 2 customers deleted, 1 contact deleted."));
        main->N61->trigger();
        QCOMPARE(dlg->messages().last(), QString("There is no import to undo."));
    }

    // Saving an added customer in its editor without a change (every box
    // written back as the text it shows) does not count as a change.
    void editorSaveWithoutChangeKeepsTheUndo() {
        const QList<qlonglong> keys = addRun();
        db::Query q(c());
        q.setSql(QString("select * from custom where CustID=%1").arg(keys[0]));
        q.open();
        q.edit();
        for (int i = 0; i < q.fieldCount(); ++i)
            if (q.field(i).name().compare("CustID", Qt::CaseInsensitive) != 0) q.field(i).setValue(q.field(i).asString());
        q.post();
        // A box the import left empty, typed into and cleared again.
        q.edit();
        q.setValue("Fax", "123");
        q.post();
        q.edit();
        q.setValue("Fax", "");
        q.post();
        QCOMPARE(undoFails(), QString());
        QCOMPARE(t->scalar("select count(*) from custom"), 0);
    }

    // The engine's fingerprint of a row: the same each time while the row
    // is unchanged, however many rows are read with it, and different
    // after any change. A null and empty text are the same (a box typed
    // into and cleared again leaves the row as it was).
    void engineFingerprintsSeeEveryChange() {
        const qlonglong id = insertCustomer("Print Co", "0755-9");
        const qlonglong p = insertContact(id, "Dee");
        QVERIFY(!stored::engineDigest(c(), "custom").isEmpty());
        auto print = [&](const QString& table, qlonglong key) {
            const QString keyColumn = table == "custom" ? "CustID" : "ContactId";
            const auto few = stored::readFingerprints(c(), table, keyColumn, table == "custom" ? "Company" : "Name", {key}, false);
            QList<qlonglong> many{key};
            for (qlonglong k = key + 1; k <= key + 25000; ++k) many << k;
            const auto lots = stored::readFingerprints(c(), table, keyColumn, "F_User", many, false);
            if (lots.size() != 1 || lots.value(key).digest != few.value(key).digest) return QByteArray("disagree");
            return few.value(key).digest;
        };
        const QByteArray customer = print("custom", id), contact = print("contact", p);
        QCOMPARE(customer.size(), 32);
        if (stored::engineDigestTag(c()) == "s:") {
            // Logs written earlier hold fingerprints of these very bytes: the function's result stays fixed.
            db::Query q(c());
            q.setSql("select tallix_rowdigest('a', NULL, '', 12, 'é')");
            q.open();
            const QByteArray bytes = QByteArray("a\x02\x02\x02" "12\x02") + QString("é").toUtf8() + "\x02";
            QCOMPARE(q.field(0).asString().toLatin1(), "s:" + QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex().left(30));
        }
        QVERIFY(customer.startsWith(stored::engineDigestTag(c()).toLatin1()));
        QCOMPARE(print("custom", id), customer);
        QCOMPARE(stored::readFingerprints(c(), "custom", "CustID", "Company", {id}, false).value(id).label, QString("Print Co"));
        QVERIFY(t->exec(QString("update custom set Fax='', City='' where CustID=%1").arg(id)));
        QCOMPARE(print("custom", id), customer);
        QSet<QByteArray> seen{customer};
        for (const QString& change : {QString("update custom set Fax=' ' where CustID=%1"),
                                      QString("update custom set Fax='x', City=NULL where CustID=%1"),
                                      QString("update custom set Company='Print Co.' where CustID=%1"),
                                      QString("update custom set Introduce='两行\nlines' where CustID=%1")}) {
            QVERIFY(t->exec(change.arg(id)));
            const QByteArray now = print("custom", id);
            QVERIFY2(!seen.contains(now), qPrintable(change));
            seen << now;
        }
        seen = {contact};
        for (const QString& change : {QString("update contact set Main=1 where ContactId=%1"),
                                      QString("update contact set Birthday='1980-02-03 00:00:00' where ContactId=%1"),
                                      QString("update contact set Birthday='1980-02-03 00:00:01' where ContactId=%1")}) {
            QVERIFY(t->exec(change.arg(p)));
            const QByteArray now = print("contact", p);
            QVERIFY2(!seen.contains(now), qPrintable(change));
            seen << now;
        }
    }

    // An import logged by the earlier version (fingerprints taken by reading
    // the rows) is still checked and undone.
    void importsLoggedEarlierStillUndo() {
        const QList<qlonglong> k = addRun();
        for (const auto& [table, key, keyColumn] : {std::tuple{QString("custom"), k[0], QString("CustID")},
                                                    std::tuple{QString("custom"), k[1], QString("CustID")},
                                                    std::tuple{QString("contact"), k[2], QString("ContactId")}}) {
            const auto rows = stored::readRows(c(), table, keyColumn, {key}, false, false);
            QVERIFY(t->exec(QString("update T_ImportRow set Digest='%1' where RecordID=%2 and TableName='%3'")
                                .arg(QString::fromLatin1(rows.value(key).digest)).arg(key).arg(table)));
        }
        QCOMPARE(t->scalar("select count(*) from T_ImportRow where Digest like '_:%'"), 0);
        QVERIFY(t->exec(QString("update custom set Fax='1' where CustID=%1").arg(k[1])));
        QVERIFY(undoFails().endsWith(QString("\nCustomer No. %1 \"Added Two\" was changed since the import.").arg(k[1])));
        QVERIFY(t->exec(QString("update custom set Fax=NULL where CustID=%1").arg(k[1])));
        QCOMPARE(undoFails(), QString());
        QCOMPARE(t->scalar("select count(*) from custom"), 0);
    }

    // Rows added together are recorded by their range; rows of another
    // workstation mixed in make the record, and so the import, fail.
    void addedRowsRecordedByTheirRange() {
        const qlonglong before = importlog::highestKey(c(), "custom");
        {
            db::TransactionGuard g(*c());
            for (int i = 0; i < 3; ++i) insertCustomer(QString("Range %1").arg(i));
            importlog::Recorder r(c(), entry("Tom"));
            r.addedAbove("custom", before, 3);
            r.finish(3, 0, 0, 0);
            g.commit();
        }
        QCOMPARE(t->scalar("select count(*) from T_ImportRow where Digest like '_:%'"), 3);
        // Fingerprints of another engine (a database file copied to a server)
        // cannot be checked here: refused, saying why.
        const QString mine = t->text("select Digest from T_ImportRow", "Digest");
        const QString other = (mine.startsWith("s:") ? "p:" : "s:") + mine.mid(2);
        QVERIFY(t->exec(QString("update T_ImportRow set Digest='%1' where Digest='%2'").arg(other, mine)));
        QVERIFY2(undoFails().contains("recorded by another database engine"), qPrintable(undoFails()));
        QCOMPARE(t->scalar("select count(*) from custom"), 3);
        QVERIFY(t->exec(QString("update T_ImportRow set Digest='%1' where Digest='%2'").arg(mine, other)));
        QCOMPARE(undoFails(), QString());
        QCOMPARE(t->scalar("select count(*) from custom"), 0);

        const qlonglong start = importlog::highestKey(c(), "custom");
        db::TransactionGuard g(*c());
        for (int i = 0; i < 3; ++i) insertCustomer(QString("Mixed %1").arg(i));
        importlog::Recorder r(c(), entry("Tom"));
        r.addedAbove("custom", start, 2);  // one row more than the run wrote
        try {
            r.finish(2, 0, 0, 0);
            QFAIL("rows of another workstation were recorded as the import's");
        } catch (const db::DbError& e) {
            QVERIFY2(e.text().startsWith("Another workstation added rows"), qPrintable(e.text()));
        }
    }

    // An import of many rows: what was added since is found among them
    // (looked for in passes over ranges of keys, not key by key), and the
    // undo deletes every row it added and nothing else.
    void undoOfManyRows() {
        const qlonglong other = insertCustomer("Not imported");
        const qlonglong before = importlog::highestKey(c(), "custom");
        constexpr int kRows = 25000;
        {
            db::TransactionGuard g(*c());
            db::RowInserter rows(c(), "custom", {"Company", "F_User"});
            for (int i = 0; i < kRows; ++i) rows.add({QString("Many %1").arg(i), "Tom"});
            rows.flush();
            importlog::Recorder r(c(), entry("Tom"));
            r.addedAbove("custom", before, kRows);
            r.finish(kRows, 0, 0, 0);
            g.commit();
        }
        const qlonglong last = importlog::highestKey(c(), "custom");
        QVERIFY(t->exec(QString("insert into contact (CustID, Name) values ('%1', 'Later')").arg(last - 7)));
        QVERIFY(t->exec(QString("insert into T_Sale (SaleNo, CustID, Total) values ('S', %1, 1)").arg(before + 1)));
        const QString text = undoFails();
        QVERIFY2(text.contains(QString("Customer No. %1 has the contact \"Later\", added since the import.").arg(last - 7)),
                 qPrintable(text));
        QVERIFY2(text.contains(QString("Customer No. %1 has a sale made since the import.").arg(before + 1)), qPrintable(text));
        QVERIFY(text.contains("2 of its rows were changed"));
        QCOMPARE(t->scalar("select count(*) from custom"), kRows + 1);

        QVERIFY(t->exec("delete from contact"));
        QVERIFY(t->exec("delete from T_Sale"));
        const auto e = importlog::last(c());
        QVERIFY(e);
        const importlog::UndoOutcome out = importlog::undo(c(), *e, "Tom");
        QCOMPARE(out.customersDeleted, kRows);
        QCOMPARE(t->scalar("select count(*) from custom"), 1);
        QCOMPARE(t->scalar(QString("select count(*) from custom where CustID=%1").arg(other)), 1);
    }

    // A row's fingerprint is the same however it is read: by a record set
    // (as the import log kept them before), by its key among a few or among
    // many thousand keys, or in a scan of the table. Otherwise an import
    // recorded one way could never be undone when checked the other way.
    void fingerprintsAgreeOnEveryPath() {
        const qlonglong id = insertCustomer("Fingerprint Co", "0755-9");
        const qlonglong p = insertContact(id, "Dee");
        QVERIFY(t->exec(QString("update contact set Main=1, Birthday='1980-02-03 00:00:00', introduce='两行\nlines' "
                                "where ContactId=%1").arg(p)));
        for (const auto& [table, key, keyColumn] : {std::tuple{QString("custom"), id, QString("CustID")},
                                                    std::tuple{QString("contact"), p, QString("ContactId")}}) {
            const QVector<db::FieldDef> cols = stored::columns(c(), table);
            db::Query q(c());
            q.setSql(QString("select %1 from %2 where [%3]=:k").arg(stored::selectList(cols), table, keyColumn));
            q.setParam("k", key);
            q.open();
            QCOMPARE(q.recordCount(), 1);
            QVector<QVariant> values;
            for (int i = 0; i < q.fieldCount(); ++i) values << q.field(i).value();
            const QByteArray viaRecordSet = stored::digest(values);

            const auto few = stored::readRows(c(), table, keyColumn, {key}, false, false);
            QList<qlonglong> many{key};
            for (qlonglong k = key + 1; k <= key + 25000; ++k) many << k;  // keys no row has
            const auto lots = stored::readRows(c(), table, keyColumn, many, false, true);
            QByteArray scanned;
            stored::scanRows(c(), table, keyColumn, false, [&](const stored::Row& r) {
                if (r.key == key) scanned = r.digest;
            });
            QCOMPARE(few.value(key).digest, viaRecordSet);
            QCOMPARE(lots.size(), 1);
            QCOMPARE(lots.value(key).digest, viaRecordSet);
            QCOMPARE(lots.value(key).values, values);
            QCOMPARE(scanned, viaRecordSet);
        }
    }
};

QTEST_MAIN(TestImportLog)
#include "tst_importlog.moc"
