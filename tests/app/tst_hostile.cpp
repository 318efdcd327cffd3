// Hostile texts through every place where what a user types, or a workbook
// holds, reaches a statement: each is stored and found exactly as it is, or
// refused in words, and no table changes but the ones the action is for.
// On the database server the test's database reads standard_conforming_strings
// = off by default, as an office's server may: the program's sessions must
// set it on for themselves.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QUrl>

#include "activities/U_Daily.h"
#include "activities/U_Sale.h"
#include "activities/U_Schedule.h"
#include "activities/Windows.h"
#include "admin/U_adduser.h"
#include "admin/U_changepass.h"
#include "app/U_Main.h"
#include "app/U_data.h"
#include "app/U_login.h"
#include "app/db/DbError.h"
#include "customers/U_AddContact.h"
#include "customers/U_Custom.h"
#include "customers/U_S_Cust.h"
#include "customers/U_addcust.h"
#include "customers/U_tree.h"
#include "customers/Windows.h"
#include "exchange/U_Import.h"
#include "exchange/Windows.h"
#include "tests/support/AppFixture.h"
#include "toolkit/Guard.h"
#include "toolkit/Modal.h"

namespace {

const QString kNul = QString("a") + QChar(0) + "b";
const QString kLong = [] {
    QString s;
    for (int i = 0; s.size() < 5000; ++i) s += QString("长文本%1'\\").arg(i % 10);
    return s.left(5000);
}();

// The values that have broken statements built by pasting text.
const QStringList kHostile = {"' or '1'='1", "'); drop table custom; --", "\\'", "\\", "%", "_",
                              kNul, "客户名称", "😀🎉", kLong};

// How like matches: % any run, _ one character, nothing else special, Latin
// letters without regard to case.
bool likeMatches(const QString& text, const QString& pattern) {
    QString re;
    for (const char32_t c : pattern.toUcs4()) {  // a character, not half a pair
        if (c == U'%') re += ".*";
        else if (c == U'_') re += ".";
        else re += QRegularExpression::escape(QString::fromUcs4(&c, 1));
    }
    return QRegularExpression("\\A(?:" + re + ")\\z", QRegularExpression::CaseInsensitiveOption |
                                                          QRegularExpression::DotMatchesEverythingOption |
                                                          QRegularExpression::UseUnicodePropertiesOption)
        .match(text)
        .hasMatch();
}

// Every table of the database, with the text of every row.
const QStringList kTables = {"custom",      "contact",  "admin",   "info",    "T_SoftInfo", "category", "type",
                             "custfrom",    "country",  "province", "zw",     "department", "T_FieldShow",
                             "T_Import",    "T_Temp",   "T_Daily", "T_Schedule", "T_Sale",  "T_SaleLine"};

}  // namespace

class TestHostile : public QObject, testsupport::AppFixture {
    Q_OBJECT

    using Snapshot = QMap<QString, QStringList>;
    Snapshot snapshot() {
        Snapshot s;
        for (const QString& table : kTables) {
            auto q = t->select(db::Statement("select * from " + table));
            QStringList rows;
            for (q->first(); !q->eof(); q->next()) {
                QStringList cells;
                for (int f = 0; f < q->fieldCount(); ++f) cells << q->field(f).asString();
                rows << cells.join(QChar(0x1f));
            }
            rows.sort();
            s.insert(table, rows);
        }
        return s;
    }
    // Every table but those named holds what it held before.
    void sameExcept(const Snapshot& before, const QStringList& changed = {}) {
        const Snapshot now = snapshot();
        for (const QString& table : kTables) {
            if (changed.contains(table)) continue;
            QVERIFY2(now.value(table) == before.value(table), qPrintable(table + " changed"));
        }
    }
    QStringList storedCompanies(const QString& prefix) {
        auto q = t->select(db::Statement("select * from custom where Company like :p order by CustID")
                               .bind("p", prefix + "%"));
        QStringList out;
        for (q->first(); !q->eof(); q->next()) out << q->asString("Company");
        return out;
    }
    static QStringList listed(db::Query* q, const QString& field) {
        QStringList out;
        const int f = q->fieldIndex(field);
        for (int r = 0; r < q->recordCount(); ++r) out << q->textAt(r, f);
        return out;
    }
    // The storable values (and one plain text) as companies "Co <value>",
    // with contacts and activities of the same texts.
    QStringList seeded;
    void seed() {
        seeded = {"Plain Co"};
        for (const QString& v : kHostile)
            if (v != kNul && v != kLong) seeded << "Co " + v;
        db::Query c(Frm_Data->Connection);
        c.setSql("select * from custom");
        c.open();
        for (const QString& company : seeded) {
            c.append();
            c.setValue("Company", company);
            c.setValue("Introduce", company == "Plain Co" ? kLong : company);
            c.setValue("F_User", company.mid(3));
            c.setValue("Address", "at " + company);
            c.setValue("From", company);
            c.post();
        }
        for (const QString& company : seeded) {
            QVERIFY(t->exec(db::Statement("insert into contact (CustID, Name, Company) values ('1', :n, :c)")
                                .bind("n", company.mid(3))
                                .bind("c", company)));
            QVERIFY(t->exec(db::Statement("insert into T_Daily (Subject, Content, AddDate, author) values "
                                          "(:s, :s, '2026-03-01 10:00:00', 'Admin')")
                                .bind("s", company)));
            QVERIFY(t->exec(db::Statement("insert into T_Schedule (Subject, Content, Customer, author) values "
                                          "(:s, :s, :s, 'Admin')")
                                .bind("s", company)));
            QVERIFY(t->exec(db::Statement("insert into T_Sale (Company) values (:s)").bind("s", company)));
        }
    }
    QStringList expected(const QString& pattern) const {
        QStringList out;
        for (const QString& company : seeded)
            if (likeMatches(company, "%" + pattern + "%")) out << company;
        return out;
    }
    // Everything the program said, for a failure's message.
    QByteArray said() const {
        QStringList out;
        for (const auto& r : dlg->requests) out << r.text;
        return out.join(" | ").toUtf8();
    }
    // The refusal of a search text holding a NUL: our words, not the engine's.
    void refusedInWords(const QString& what = QString()) {
        QCOMPARE(dlg->errors().size(), 1);
        const QString e = dlg->errors().first();
        QVERIFY2(e.contains("a NUL character (U+0000)"), qPrintable(e));
        if (!what.isEmpty()) QVERIFY2(e.startsWith(what + " holds"), qPrintable(e));
        dlg->clear();
    }

private slots:
    void initTestCase() {
        registerCustomerWindows();
        registerActivityWindows();
        registerExchangeWindows();
    }

    void init() {
        QVERIFY(start());
        setUser("Admin", 0);
        if (testsupport::TestDb::onServer()) {
            // Off for every new session of this database, unless the session says otherwise.
            const QString name = t->text("select current_database() as n", "n");
            QVERIFY(t->exec("alter database " + name + " set standard_conforming_strings = off"));
            Frm_Data->Connection->open(t->connString());
        }
        QVERIFY(t->exec("delete from custom"));
        QVERIFY(t->exec("delete from contact"));
        QVERIFY(t->exec("delete from T_Daily"));
        seed();
    }
    void cleanup() { stop(); }

    void sessionsForceStandardStrings() {
        if (!testsupport::TestDb::onServer()) QSKIP("a setting of the database server");
        // A session that does not ask reads the database's default...
        {
            QSqlDatabase raw = QSqlDatabase::addDatabase("QPSQL", "raw");
            const QUrl url(t->dbConn());
            raw.setHostName(url.host());
            raw.setPort(url.port());
            raw.setUserName(url.userName());
            raw.setDatabaseName(url.path().mid(1));
            QVERIFY(raw.open());
            QSqlQuery q(raw);
            QVERIFY(q.exec("show standard_conforming_strings") && q.next());
            QCOMPARE(q.value(0).toString(), QString("off"));
        }
        QSqlDatabase::removeDatabase("raw");
        // ... and the program's own sessions set it on.
        QCOMPARE(t->text("select current_setting('standard_conforming_strings') as s", "s"), QString("on"));
        QCOMPARE(t->text("select '\\' as s", "s"), QString("\\"));
        // The address's own options go first; a setting the server refuses
        // is a failure to connect, with the server's words.
        db::Connection c;
        const QString refused = t->connString() + "?options=-c%20DateStyle%3Dnonsense";
        try {
            c.open(refused);
            QFAIL("the connection was opened");
        } catch (const db::DbError& e) {
            QVERIFY2(e.text().contains("DateStyle") || e.text().contains("datestyle"), qPrintable(e.text()));
        }
    }

    void browserSearches() {
        const Snapshot before = snapshot();
        main->show();
        QVERIFY(Frm_Custom);
        for (const QString& v : kHostile) {
            Frm_Custom->Edit_Key->clear();
            // Typed key by key where the test's keyboard has the keys (plain ASCII).
            bool typable = v.size() < 40 && v != kNul;
            for (const QChar c : v) typable = typable && c.unicode() >= 0x20 && c.unicode() < 0x7f;
            if (typable) QTest::keyClicks(Frm_Custom->Edit_Key, v);
            else Frm_Custom->Edit_Key->setText(v);
            QCOMPARE(Frm_Custom->Edit_Key->text(), v);
            QTest::keyClick(Frm_Custom->Edit_Key, Qt::Key_Return);
            if (v == kNul) {
                refusedInWords();
                continue;
            }
            QVERIFY2(dlg->errors().isEmpty(), said().constData());
            QCOMPARE(listed(Frm_Data->Qry_Cust, "Company"), expected(v));

            Frm_Custom->Edit_Name->setText(v);
            QTest::keyClick(Frm_Custom->Edit_Name, Qt::Key_Return);
            QVERIFY(dlg->errors().isEmpty());
            QStringList got = listed(Frm_Data->Qry_Contact, "Name");
            QStringList want;
            for (const QString& company : seeded)
                if (likeMatches(company.mid(3), "%" + v + "%")) want << company.mid(3);
            QCOMPARE(got, want);
        }
        // "My Customer" of a user whose name is a hostile text.
        for (const QString& v : {QString("' or '1'='1"), QString("\\'")}) {
            setUser(v, 0);
            main->MyCustExecute();
            QCOMPARE(listed(Frm_Data->Qry_Cust, "Company"), QStringList({"Co " + v}));
        }
        // Shown fields of a table named by a hostile text: none, and no error.
        toolkit::DataGrid grid;
        main->ApplyFieldShow(&grid, Frm_Data->Qry_Cust, "Custom' or '1'='1");
        QCOMPARE(grid.columnCountShown(), 0);
        QVERIFY(dlg->errors().isEmpty());
        sameExcept(before);
    }

    void criteriaSearch() {
        const Snapshot before = snapshot();
        for (const QString& v : kHostile) {
            TFrm_S_Cust s;
            s.show();
            s.Edit_custname->setText(v);
            s.Combo_from->setEditText(v);
            s.btn_ok->click();
            if (v == kNul) {
                refusedInWords();
                continue;
            }
            QVERIFY2(dlg->requests.isEmpty(), said().constData());
            QVERIFY2(listed(Frm_Data->Qry_Cust, "Company") == expected(v),
                     qPrintable(v.left(20) + ": " + listed(Frm_Data->Qry_Cust, "Company").join(" | ")));
        }
        // 5,000 characters of text found exactly where they are stored.
        TFrm_S_Cust s;
        s.show();
        s.Edit_intro->setText(kLong);
        s.btn_ok->click();
        QCOMPARE(listed(Frm_Data->Qry_Cust, "Company"), QStringList({"Plain Co"}));
        sameExcept(before);
    }

    void editorsStoreExactly() {
        const Snapshot before = snapshot();
        Frm_Data->Qry_Cust->setSql("select * from custom");
        Frm_Data->Qry_Cust->open();
        for (const QString& v : kHostile) {
            if (v == kLong) continue;  // longer than a company name may be
            TFrm_AddCust d;
            d.AddMode = 1;
            d.show();
            d.Edit_Com->setText("New " + v);
            d.Memo1->setPlainText(v + kLong);
            d.Btn_OK->click();
            if (v == kNul) {
                refusedInWords("Company");
                continue;
            }
            QVERIFY2(dlg->requests.isEmpty(), said().constData());
            auto q = t->select(db::Statement("select * from custom where Company=:c").bind("c", "New " + v));
            QCOMPARE(q->recordCount(), 1);
            QCOMPARE(q->asString("Company"), "New " + v);
            QCOMPARE(q->asString("Introduce"), v + kLong);
            // Typed again: the repeat is found, whatever the text holds.
            d.Edit_Com->setText("New " + v);
            d.Btn_OK->click();
            QCOMPARE(dlg->messages(), QStringList({"Company repeat"}));
            dlg->clear();
        }
        QCOMPARE(storedCompanies("New ").size(), kHostile.size() - 2);

        // The contact editor finds its customer by the exact name.
        TFrm_AddContact c;
        c.AddMode = 1;
        c.show();
        for (const QString& company : seeded) {
            c.Combo_Cust->setEditText(company);
            c.Combo_CustChange();
            QCOMPARE(c.Edit_Address->text(), "at " + company);
        }
        c.Combo_Cust->setEditText(kNul);
        QVERIFY(!toolkit::guarded([&] { c.Combo_CustChange(); }));
        refusedInWords("Company");
        sameExcept(before, {"custom"});
    }

    void categoriesUsersAndPasswords() {
        const Snapshot before = snapshot();
        TFrm_Tree tree;
        tree.show();
        int code = 10;
        for (const QString& v : kHostile) {
            if (v == kLong) continue;
            tree.tb_addClick();
            tree.Edit_code->setText(QString::number(code++));
            tree.Edit_name->setText(v);
            tree.btn_save->click();
            if (v == kNul) {
                refusedInWords("name");
                continue;
            }
            QVERIFY2(dlg->requests.isEmpty(), said().constData());
            QCOMPARE(t->text(db::Statement("select * from category where code=:c").bind("c", QString::number(code - 1)),
                             "name"),
                     v.trimmed());
        }

        const int admins = t->scalar("select count(*) from admin");
        TFrm_AddUser users;
        users.show();
        for (const QString& v : {QString("' or '1'='1"), QString("\\'"), QString("x'); drop table admin; --")}) {
            users.ToolButton1Click();
            users.Edit_username->setText(v);
            users.ComboBox1->setCurrentIndex(1);
            users.Edit_pass->setText("p" + v);
            users.btn_saveClick();
            QCOMPARE(QString(said()), QString("Add succeed ,Are you continue"));
            dlg->clear();
            // The same name again is a repeat.
            users.ToolButton1Click();
            users.Edit_username->setText(v);
            users.ComboBox1->setCurrentIndex(1);
            users.Edit_pass->setText("q");
            users.btn_saveClick();
            QCOMPARE(dlg->messages(), QStringList({"The username is exist ,Please change a username!"}));
            dlg->clear();

            // Logged in by that name with that password, and no other.
            TFrm_Login login;
            login.show();
            login.ComboBox1->setCurrentIndex(login.ComboBox1->findText(v));
            login.Edit2->setText("p" + v);
            login.Btn_okClick();
            QVERIFY(login.LoginOK);
            QCOMPARE(main->LoginName, v);

            // A new password holding quotes and backslashes is kept as typed.
            TFrm_ChangePass pass;
            pass.show();
            pass.Edit_oldpass->setText("p" + v);
            pass.Edit_newpass->setText("\\' or ''='");
            pass.Edit_pass->setText("\\' or ''='");
            pass.Btn_okClick();
            QCOMPARE(t->text(db::Statement("select * from admin where username=:u").bind("u", v), "password"),
                     QString("\\' or ''='"));
            dlg->clear();
        }
        users.ToolButton1Click();
        users.Edit_username->setText(kNul);
        users.ComboBox1->setCurrentIndex(1);
        users.btn_save->click();
        refusedInWords("username");
        QCOMPARE(t->scalar("select count(*) from admin"), admins + 3);
        sameExcept(before, {"category", "admin"});
    }

    void activitySearches() {
        const Snapshot before = snapshot();
        main->show();
        main->N53->trigger();
        main->N54->trigger();
        main->N55->trigger();
        QVERIFY(Frm_Daily && Frm_Schedule && Frm_Sale);
        for (const QString& v : kHostile) {
            Frm_Daily->Edit_Key->setText(v);
            QTest::keyClick(Frm_Daily->Edit_Key, Qt::Key_Return);
            Frm_Schedule->Edit_Key->setText(v);
            QTest::keyClick(Frm_Schedule->Edit_Key, Qt::Key_Return);
            Frm_Sale->Edit_Key->setText(v);
            QTest::keyClick(Frm_Sale->Edit_Key, Qt::Key_Return);
            if (v == kNul) {
                QCOMPARE(dlg->errors().size(), 3);
                for (const QString& e : dlg->errors()) QVERIFY2(e.contains("a NUL character (U+0000)"), qPrintable(e));
                dlg->clear();
                continue;
            }
            QVERIFY2(dlg->requests.isEmpty(), said().constData());
            QVERIFY2(listed(Frm_Data->Qry_Daily, "Subject") == expected(v),
                     qPrintable(v.left(20) + ": " + listed(Frm_Data->Qry_Daily, "Subject").join(" | ")));
            QCOMPARE(listed(Frm_Data->Qry_Schedule, "Subject"), expected(v));
            QStringList sales = listed(Frm_Sale->Qry_Sale, "Company");
            sales.sort();
            QStringList want = expected(v);
            want.sort();
            QCOMPARE(sales, want);
        }
        sameExcept(before);
    }

    void importCells() {
        // A text file of quoted cells, as a spreadsheet program writes one.
        auto csv = [&](const QString& name, const QList<QStringList>& rows) {
            const QString path = QDir(t->dir()).filePath(name);
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly)) return QString();
            f.write("\xEF\xBB\xBF");
            for (const QStringList& row : rows) {
                QStringList cells;
                for (QString c : row) cells << "\"" + c.replace("\"", "\"\"") + "\"";
                f.write(cells.join(",").toUtf8() + "\r\n");
            }
            return path;
        };
        auto import = [&](const QString& path) {
            dlg->fileAnswers << path;
            toolkit::ScriptedModal modal([&](QDialog* d) {
                if (auto* w = qobject_cast<TFrm_Import*>(d)) QTest::mouseClick(w->Btn_Start, Qt::LeftButton);
                return 0;
            });
            main->sss1Click();
        };
        const Snapshot before = snapshot();
        QList<QStringList> rows = {{"Company", "Address", "Introduce"}};
        for (const QString& v : kHostile)
            if (v != kNul) rows << QStringList{"Imp " + v.left(150), v.left(100), v};
        import(csv("good.csv", rows));
        QVERIFY2(dlg->messages().contains("导入数据成功!"), qPrintable(dlg->messages().join("\n")));
        dlg->clear();
        for (const QString& v : kHostile) {
            if (v == kNul) continue;
            auto q = t->select(db::Statement("select * from custom where Company=:c").bind("c", "Imp " + v.left(150)));
            QCOMPARE(q->recordCount(), 1);
            QCOMPARE(q->asString("Address"), v.left(100));
            QCOMPARE(q->asString("Introduce"), v);
        }
        const int customers = t->scalar("select count(*) from custom");

        // A cell the database cannot store: the row and column are named,
        // and nothing of the file is written.
        rows << QStringList{"Imp " + kNul, "x", "y"};
        // In a header it is left out: the header still names its column.
        rows[0][2] = QString("Intro") + QChar(0) + "duce";
        import(csv("nul.csv", rows));
        QCOMPARE(t->rowCount("select * from T_Temp where S_Field='Introduce'"), 1);
        const QString m = dlg->messages().value(0);
        QVERIFY2(m.contains("Nothing was imported"), qPrintable(m));
        QVERIFY2(m.contains(QString("Row %1, column \"Company\"").arg(rows.size())), qPrintable(m));
        QVERIFY2(m.contains("a NUL character (U+0000), which the database cannot store"), qPrintable(m));
        QVERIFY(!m.contains(QChar(0)));
        QCOMPARE(t->scalar("select count(*) from custom"), customers);
        sameExcept(before, {"custom", "T_Temp", "T_Import"});
    }
};

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
