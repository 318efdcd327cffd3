// When two records name the same customer, and the groups of likely
// duplicates built from those rules.
#include <QTest>

#include "customers/DuplicateFinder.h"
#include "customers/Matching.h"

using matching::Rule;
Q_DECLARE_METATYPE(matching::Rule)

class TestMatching : public QObject {
    Q_OBJECT

    static duplicates::Customer cust(qlonglong id, const QString& company, const QString& email = QString(),
                                     const QString& tel = QString()) {
        return duplicates::Customer{id, company, email, tel};
    }

private slots:
    void pairs_data() {
        QTest::addColumn<Rule>("rule");
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("match");
        const auto add = [](const char* name, Rule r, const QString& a, const QString& b, bool m) {
            QTest::newRow(name) << r << a << b << m;
        };
        // Company names: the same name however it is typed ...
        add("blanks, case and a full stop", Rule::Company, "ACME  inc.", "Acme Inc", true);
        add("comma before the legal form", Rule::Company, "Acme, Inc.", "acme inc", true);
        add("surrounding blanks", Rule::Company, "  Acme Inc \t", "Acme Inc", true);
        add("full-width letters", Rule::Company, QStringLiteral("ＡＣＭＥ　Ｉｎｃ．"), "Acme Inc", true);
        add("ideographic space", Rule::Company, QStringLiteral("Acme\u3000Inc"), "Acme Inc", true);
        add("invisible space", Rule::Company, QStringLiteral("Acme\u200B Inc"), "Acme Inc", true);
        add("apostrophe", Rule::Company, "McDonald's", QStringLiteral("McDonald\u2019s"), true);
        add("apostrophe dropped", Rule::Company, "McDonald's", "McDonalds", true);
        add("accented capitals", Rule::Company, QStringLiteral("MÜLLER GMBH"), QStringLiteral("Müller GmbH"), true);
        add("full-width brackets", Rule::Company, QStringLiteral("北京华为（中国）有限公司"),
            QStringLiteral("北京华为(中国)有限公司"), true);
        add("blanks between CJK", Rule::Company, QStringLiteral("北京 华为 有限公司"),
            QStringLiteral("北京华为有限公司"), true);
        add("CJK next to Latin", Rule::Company, QStringLiteral("IBM 中国"), QStringLiteral("ibm中国"), true);
        add("half-width katakana", Rule::Company, QStringLiteral("株式会社ｱｸﾒ"), QStringLiteral("株式会社アクメ"), true);
        add("Hangul", Rule::Company, QStringLiteral("삼성 전자"), QStringLiteral("삼성전자"), true);
        add("CJK extension B", Rule::Company, QStringLiteral("𠀀商行 "), QStringLiteral("𠀀 商行"), true);
        // ... but never across a legal form, a missing word, a symbol or an accent.
        add("Inc and GmbH", Rule::Company, "Acme Inc", "Acme GmbH", false);
        add("Inc and Ltd", Rule::Company, "ACME  inc.", "Acme Ltd.", false);
        add("legal form missing", Rule::Company, "Acme", "Acme Inc", false);
        add("CJK legal form missing", Rule::Company, QStringLiteral("北京华为"), QStringLiteral("北京华为有限公司"), false);
        add("CJK word missing", Rule::Company, QStringLiteral("华为技术有限公司"), QStringLiteral("华为有限公司"), false);
        add("symbols count", Rule::Company, "C++ Corp", "C Corp", false);
        add("dotted initials", Rule::Company, "A.B.C. Ltd", "ABC Ltd", false);
        add("accent", Rule::Company, QStringLiteral("Müller GmbH"), "Muller GmbH", false);
        add("empty names", Rule::Company, "", "", false);
        add("punctuation only", Rule::Company, "--", "..", false);
        // E-mail addresses.
        add("e-mail case and blanks", Rule::Email, " Info@Acme.COM ", "info@acme.com", true);
        add("e-mail mailto", Rule::Email, "mailto:info@acme.com", "<INFO@acme.com>", true);
        add("e-mail full-width", Rule::Email, QStringLiteral("ｉｎｆｏ＠ａｃｍｅ．ｃｏｍ"), "info@acme.com", true);
        add("e-mail other mailbox", Rule::Email, "info@acme.com", "sales@acme.com", false);
        add("e-mail other domain", Rule::Email, "info@acme.com", "info@acme.co", false);
        add("e-mail placeholder", Rule::Email, "n/a", "n/a", false);
        add("e-mail half an address", Rule::Email, "info@", "info@", false);
        // Telephones: their digits.
        add("tel punctuation", Rule::Tel, "0755-1234567", "(0755) 123 4567", true);
        add("tel full-width digits", Rule::Tel, QStringLiteral("０７５５－１２３４５６７"), "07551234567", true);
        add("tel country code both", Rule::Tel, "+86 755 1234 567", "86-755-1234567", true);
        add("tel country code one", Rule::Tel, "+86 755 1234567", "0755 1234567", false);
        add("tel last digit", Rule::Tel, "0755-1234567", "0755-1234568", false);
        add("tel too short", Rule::Tel, "12345", "12345", false);
        add("tel letters only", Rule::Tel, "none", "none", false);
        // Customer numbers.
        add("number leading zero", Rule::CustomerNo, "012", "12", true);
        add("number full-width", Rule::CustomerNo, QStringLiteral("１２"), " 12 ", true);
        add("number fraction", Rule::CustomerNo, "12.5", "12", false);
        add("number with letters", Rule::CustomerNo, "12a", "12", false);
        add("number other", Rule::CustomerNo, "12", "21", false);
        add("number empty", Rule::CustomerNo, "", "", false);
        // Contact names follow the name rule.
        add("contact name", Rule::Name, QStringLiteral("ZHANG  san"), QStringLiteral("Zhang San"), true);
        add("contact CJK name", Rule::Name, QStringLiteral("张 三"), QStringLiteral("张三"), true);
        add("contact other name", Rule::Name, QStringLiteral("张三"), QStringLiteral("张山"), false);
    }
    void pairs() {
        QFETCH(Rule, rule);
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, match);
        QCOMPARE(matching::same(rule, a, b), match);
        QCOMPARE(matching::same(rule, b, a), match);
    }

    void ruleWords() {
        for (Rule r : {Rule::CustomerNo, Rule::Company, Rule::Email, Rule::Tel, Rule::Name}) {
            Rule back = Rule::Name;
            QVERIFY(matching::ruleFromWord(matching::ruleWord(r).toUpper(), &back));
            QCOMPARE(back, r);
        }
        Rule r = Rule::Tel;
        QVERIFY(!matching::ruleFromWord("phone", &r));
        QCOMPARE(r, Rule::Tel);
    }

    // Customers linked by any rule form one group; the group says which
    // rule linked which of them.
    void groupsAndReasons() {
        const QVector<duplicates::Customer> cs = {
            cust(9, "Acme Inc", "", "0755-1234567"),
            cust(3, "ACME  inc.", "a@acme.com", "0755 111 2222"),
            cust(5, "Acme GmbH", "", "(0755) 123 4567"),
            cust(7, "Beta Ltd", "info@beta.com", ""),
            cust(8, "Gamma Co", "INFO@beta.com ", "12345"),
            cust(11, "Delta", "", "12345"),
            cust(12, "", "", ""),
            cust(13, "", "", ""),
        };
        const QList<duplicates::Group> all = duplicates::find(cs);
        QCOMPARE(all.size(), 2);
        QCOMPARE(all[0].members, QList<qlonglong>({3, 5, 9}));
        QCOMPARE(all[0].reasons.size(), 2);
        QCOMPARE(all[0].reasons[0].rule, Rule::Company);
        QCOMPARE(all[0].reasons[0].members, QList<qlonglong>({3, 9}));
        QCOMPARE(all[0].reasons[1].rule, Rule::Tel);
        QCOMPARE(all[0].reasons[1].members, QList<qlonglong>({5, 9}));
        QCOMPARE(all[0].why(), QString("same company name \"ACME  inc.\" (3, 9); "
                                       "same telephone \"(0755) 123 4567\" (5, 9)"));
        QCOMPARE(all[1].members, QList<qlonglong>({7, 8}));
        QCOMPARE(all[1].why(), QString("same e-mail \"info@beta.com\" (7, 8)"));

        // Only the rules asked for link.
        const QList<duplicates::Group> byName = duplicates::find(cs, duplicates::ByCompany);
        QCOMPARE(byName.size(), 1);
        QCOMPARE(byName[0].members, QList<qlonglong>({3, 9}));
        QVERIFY(duplicates::find(cs, 0).isEmpty());
    }

    // A chain of links across rules is one group, whatever the order the
    // customers come in.
    void chainsJoin() {
        QVector<duplicates::Customer> cs = {cust(4, "Alpha", "x@alpha.com", ""), cust(1, "Alpha Ltd", "", "020-5555666"),
                                            cust(2, "Alpha Ltd.", "X@alpha.com", ""), cust(6, "Other", "", "0205555666")};
        for (int round = 0; round < 2; ++round) {
            const auto groups = duplicates::find(cs);
            QCOMPARE(groups.size(), 1);
            QCOMPARE(groups[0].members, QList<qlonglong>({1, 2, 4, 6}));
            QCOMPARE(groups[0].reasons.size(), 3);
            std::reverse(cs.begin(), cs.end());
        }
    }
};

QTEST_GUILESS_MAIN(TestMatching)
#include "tst_matching.moc"
