// The plain functions behind the activity windows: times and lead times of
// the schedule editor, the customer finder, and the sums of the sales window.
#include <QTest>

#include "activities/CustomerFinder.h"
#include "activities/SaleData.h"
#include "activities/ScheduleTimes.h"
#include "tests/support/TestDb.h"
#include "toolkit/ScriptedDialogs.h"

using namespace activities;

class TestScheduleTimes : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::TestDb> t;

    QStringList names(const QList<CustomerHit>& hits) {
        QStringList out;
        for (const auto& h : hits) out << h.company;
        return out;
    }
    void addCustomers(const QStringList& names) {
        for (const QString& n : names)
            QVERIFY(t->exec("insert into custom (Company) values ('" + QString(n).replace("'", "''") + "')"));
    }

private slots:
    void initTestCase() { TALLIX_SKIP_WITHOUT_TEST_SERVER(); }

    void init() {
        t = std::make_unique<testsupport::TestDb>();
        QVERIFY(t->ok());
        QVERIFY(t->openData()->DBConnected);
    }
    void cleanup() { t.reset(); }

    void halfHourSteps() {
        const QStringList times = halfHourTimes();
        QCOMPARE(times.size(), 48);
        QCOMPARE(times.first(), QString("00:00"));
        QCOMPARE(times[19], QString("09:30"));
        QCOMPARE(times.last(), QString("23:30"));
        QCOMPARE(activityTypes(), QStringList({"电话", "拜访", "会议", "电子邮件", "其他"}));
    }

    void leadTimesReadAsMinutes() {
        const QList<int> expected{5, 10, 15, 30, 60, 120, 1440, 2880, 10080};
        const QStringList leads = reminderLeadTimes();
        QCOMPARE(leads.size(), expected.size());
        for (int i = 0; i < leads.size(); ++i) QCOMPARE(leadMinutes(leads[i]), expected[i]);
        QVERIFY(leads.contains(defaultLeadTime()));
        QCOMPARE(leadMinutes(" 3 小时 "), 180);
        for (const char* bad : {"", "15", "分钟", "-5分钟", "1.5小时", "15 minutes", "1年"})
            QVERIFY2(leadMinutes(QString::fromUtf8(bad)) == -1, bad);
        const QDateTime start(QDate(2026, 3, 1), QTime(9, 0));
        QCOMPARE(remindTime(start, "15分钟"), QDateTime(QDate(2026, 3, 1), QTime(8, 45)));
        QCOMPARE(remindTime(start, "1天"), QDateTime(QDate(2026, 2, 28), QTime(9, 0)));
        QCOMPARE(remindTime(start, "1周"), QDateTime(QDate(2026, 2, 22), QTime(9, 0)));
        QVERIFY(!remindTime(start, "soon").isValid());
        QVERIFY(!remindTime(QDateTime(), "5分钟").isValid());
    }

    void nextHalfHourRoundsUp() {
        const QDate d(2026, 5, 10);
        QCOMPARE(nextHalfHour(QDateTime(d, QTime(10, 30))), QDateTime(d, QTime(10, 30)));
        QCOMPARE(nextHalfHour(QDateTime(d, QTime(10, 30, 1))), QDateTime(d, QTime(11, 0)));
        QCOMPARE(nextHalfHour(QDateTime(d, QTime(10, 1))), QDateTime(d, QTime(10, 30)));
        QCOMPARE(nextHalfHour(QDateTime(d, QTime(23, 45))), QDateTime(d.addDays(1), QTime(0, 0)));
    }

    void hoursAsTheBoxShowsThem() {
        const QDateTime s(QDate(2026, 1, 1), QTime(9, 0));
        QCOMPARE(hoursBetween(s, s.addSecs(3600)), QString("1"));
        QCOMPARE(hoursBetween(s, s.addSecs(5400)), QString("1.5"));
        QCOMPARE(hoursBetween(s, s.addSecs(1200)), QString("0.33"));
        QCOMPARE(hoursBetween(s, s), QString("0"));
        QCOMPARE(hoursBetween(s, s.addDays(10)), QString("240"));
        QVERIFY(hoursBetween(s, s.addSecs(-1800)).isEmpty());
    }

    void amountsExactToTheCent() {
        auto units = [](const char* text, int places = 4) {
            qint64 v = 0;
            return parseDecimal(text, places, &v) ? v : qint64(-777);
        };
        QCOMPARE(lineAmountCents(units("3"), units("0.1")), qint64(30));
        QCOMPARE(lineAmountCents(units("2"), units("19.99")), qint64(3998));
        QCOMPARE(lineAmountCents(units("1.5"), units("2.25")), qint64(338));   // 3.375 rounds up
        QCOMPARE(lineAmountCents(units("-1.5"), units("2.25")), qint64(-338));  // and away from zero
        QCOMPARE(lineAmountCents(units("-2"), units("5")), qint64(-1000));
        // The largest quantity and price the boxes take multiply without
        // overflow and without losing a cent.
        QCOMPARE(decimalText(lineAmountCents(units("999999.9999"), units("99999999.9999")), 2, true),
                 QString("99999999989900.00"));
        QCOMPARE(decimalText(lineAmountCents(units("0.0001"), units("0.0049")), 2, true), QString("0.00"));
        QCOMPARE(decimalText(lineAmountCents(units("123456.789"), units("0.07")), 2, true), QString("8641.98"));

        QCOMPARE(decimalText(30, 2, true), QString("0.30"));
        QCOMPARE(decimalText(1200, 2), QString("12"));
        QCOMPARE(decimalText(-25, 2), QString("-0.25"));
        QCOMPARE(decimalText(45000, 4), QString("4.5"));
        QCOMPARE(units(" 4.5 "), qint64(45000));
        QCOMPARE(units("-3"), qint64(-30000));
        QCOMPARE(units(".5"), qint64(5000));
        QCOMPARE(units("7."), qint64(70000));
        for (const char* bad : {"", ".", "-", "1e5", "1,5", "abc", "1.2.3", "nan", "inf", "1.23456", "--1"})
            QCOMPARE(units(bad), qint64(-777));
        // Stored as the nearest double and read back: the same decimal.
        for (const char* text : {"0.1", "19.99", "99999999.9999", "999999.9999", "0.0003"})
            QCOMPARE(unitsOf(storedValue(units(text), 4), 4), units(text));
        QCOMPARE(unitsOf(storedValue(kMaxTotal, 2), 2), kMaxTotal);
        QCOMPARE(unitsOf(storedValue(kMaxTotal - 1, 2), 2), kMaxTotal - 1);
    }

    void sumOfLinesKeepsWholeCents() {
        for (int i = 0; i < 10; ++i)
            QVERIFY(t->exec("insert into T_SaleLine (SaleID, Product, Quantity, Price, Amount) "
                            "values (7, 'p', 1, 0.1, 0.1)"));
        QVERIFY(t->exec("insert into T_SaleLine (SaleID, Product, Amount) values (8, 'other', 99)"));
        // Large amounts with cents: a sum in binary would be off.
        for (int i = 0; i < 3; ++i)
            QVERIFY(t->exec("insert into T_SaleLine (SaleID, Product, Quantity, Price, Amount) "
                            "values (9, 'big', 1, 3333333333.33, 3333333333.33)"));
        QCOMPARE(sumOfLinesCents(t->data()->Connection, 7), qint64(100));
        QCOMPARE(sumOfLinesCents(t->data()->Connection, 9), qint64(999999999999));
        QCOMPARE(sumOfLinesCents(t->data()->Connection, 10), qint64(0));
    }

    void finderPutsBeginningsFirst() {
        addCustomers({"Zeta Acme", "Acme Two", "acme lower", "Beta", "Acme One", "The ACME Shop"});
        db::Connection* c = t->data()->Connection;
        // Beginnings first, then the rest, each in name order.
        QCOMPARE(names(findCustomers(c, "Acme")),
                 QStringList({"Acme One", "Acme Two", "The ACME Shop", "Zeta Acme", "acme lower"}));
        QCOMPARE(names(findCustomers(c, "Acme", 3)), QStringList({"Acme One", "Acme Two", "The ACME Shop"}));
        QCOMPARE(names(findCustomers(c, "beta")), QStringList({"Beta"}));
        QVERIFY(findCustomers(c, "nobody").isEmpty());
        // No text: the first names in name order.
        QCOMPARE(names(findCustomers(c, "", 2)), QStringList({"Acme One", "Acme Two"}));
        // Numbers come along.
        const auto hits = findCustomers(c, "Beta");
        QCOMPARE(hits.first().id, qlonglong(4));
    }

    void finderTakesAnyText() {
        addCustomers({"O'Hara & Sons", "100% Cotton", "A_B Trading", "AxB Trading", "深圳华强电子", "华强北"});
        db::Connection* c = t->data()->Connection;
        QCOMPARE(names(findCustomers(c, "O'H")), QStringList({"O'Hara & Sons"}));
        QCOMPARE(names(findCustomers(c, "华强")), QStringList({"华强北", "深圳华强电子"}));
        QCOMPARE(names(findCustomers(c, "100%")), QStringList({"100% Cotton"}));
        // "_" begins nothing literally here but stays a wildcard inside names.
        QCOMPARE(names(findCustomers(c, "A_B")), QStringList({"A_B Trading", "AxB Trading"}));
        QVERIFY(findCustomers(c, QString(5000, 'x')).isEmpty());
        QVERIFY(findCustomers(c, "'; drop table custom; --").isEmpty());
        QCOMPARE(t->scalar("select count(*) from custom"), 6);
    }

    void finderStopsAtItsLimit() {
        QStringList firms;
        for (int i = 1; i <= 300; ++i) firms << QString("('Firm %1')").arg(i, 3, 10, QChar('0'));
        QVERIFY(t->exec("insert into custom (Company) values " + firms.join(", ")));
        db::Connection* c = t->data()->Connection;
        const auto hits = findCustomers(c, "Firm");
        QCOMPARE(hits.size(), kFinderLimit);
        QCOMPARE(hits.first().company, QString("Firm 001"));
        QCOMPARE(hits.last().company, QString("Firm 050"));
        // Only inside the names: still no more than the limit.
        QCOMPARE(findCustomers(c, "irm").size(), kFinderLimit);
        QCOMPARE(names(findCustomers(c, "29")), QStringList({"Firm 029", "Firm 129", "Firm 229", "Firm 290", "Firm 291", "Firm 292",
                                                              "Firm 293", "Firm 294", "Firm 295", "Firm 296",
                                                              "Firm 297", "Firm 298", "Firm 299"}));
    }

    void exactNameAndContacts() {
        addCustomers({"Acme", "Beta", "Acme"});
        db::Connection* c = t->data()->Connection;
        QCOMPARE(customerIdOf(c, "Acme"), qlonglong(1));
        QCOMPARE(customerIdOf(c, "acme"), qlonglong(-1));
        QCOMPARE(customerIdOf(c, ""), qlonglong(-1));
        QVERIFY(t->exec("insert into contact (CustID, Name, Main) values ('2', 'Bob', 0), ('2', 'Ann', 1), "
                        "('1', 'Carl', 0), ('12', 'Dora', 0), ('2', 'Bob', 0), ('2', '', 0)"));
        QCOMPARE(contactsOf(c, 2), QStringList({"Ann", "Bob"}));
        QCOMPARE(contactsOf(c, 1), QStringList({"Carl"}));
        QVERIFY(contactsOf(c, -1).isEmpty());
    }
};

QTEST_MAIN(TestScheduleTimes)
#include "tst_scheduletimes.moc"
