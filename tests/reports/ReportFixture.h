#pragma once
// The program with a customer list for the report tests: customers and
// contacts added through SQL, the shared lists opened as the browser opens
// them, and the reports' pages at hand.
#include <QTest>

#include "app/U_data.h"
#include "app/db/Statement.h"
#include "tests/support/AppFixture.h"
#include "tests/toolkit/report/PdfText.h"
#include "toolkit/report/Layout.h"

namespace reporttest {

constexpr double kEps = 0.001;

class ReportFixture : public testsupport::AppFixture {
protected:
    // A fresh program with no customers, the lists open and linked.
    bool begin() {
        if (!start()) return false;
        if (!t->exec(QStringLiteral("delete from contact")) || !t->exec(QStringLiteral("delete from custom")))
            return false;
        return true;
    }

    // Adds a customer; returns its number.
    int customer(const QString& company, const QString& address = QString(), const QString& tel = QString(),
                 const QString& postCode = QString()) {
        t->exec(db::Statement("insert into custom (Company, Address, Tel, PostCode, Fax, Email) values (:company, "
                              ":address, :tel, :postcode, '0755-1', 'a@b.c')")
                    .bind("company", company)
                    .bind("address", address)
                    .bind("tel", tel)
                    .bind("postcode", postCode));
        return t->scalar(QStringLiteral("select max(CustID) from custom"));
    }

    // Adds a contact to customer custId; returns its number.
    int contact(int custId, const QString& name, const QString& mobile = QString(), bool main = false,
                const QString& address = QString(), const QString& postCode = QString(),
                const QString& company = QString()) {
        t->exec(db::Statement("insert into contact (CustID, Name, Mobile, Main, Address, PostCode, Company, Tel, "
                              "Position, Email) values (:id, :name, :mobile, :main, :address, :postcode, :company, "
                              "'0755-2', 'Manager', 'x@y.z')")
                    .bind("id", QString::number(custId))
                    .bind("name", name)
                    .bind("mobile", mobile)
                    .bind("main", main ? 1 : 0)
                    .bind("address", address)
                    .bind("postcode", postCode)
                    .bind("company", company));
        return t->scalar(QStringLiteral("select max(ContactId) from contact"));
    }

    // Opens the shared lists as the browser has them: customers by sql, the
    // contacts of the current customer.
    void openLists(const QString& sql = QStringLiteral("select * from custom")) {
        Frm_Data->Qry_Cust->close();
        Frm_Data->Qry_Cust->setSql(sql);
        Frm_Data->Qry_Cust->open();
        Frm_Data->LinkContactDetail();
    }

    // Every page of a document.
    static QVector<std::shared_ptr<const report::Page>> pages(report::Document& doc) {
        QVector<std::shared_ptr<const report::Page>> out;
        for (int i = 0; i < doc.pageCount(); ++i) out << doc.page(i);
        return out;
    }

    // Texts of band b of page, in order.
    static QStringList bandTexts(const report::Page& page, int b) {
        QStringList out;
        for (const report::Item& i : page.items)
            if (i.kind == report::Item::Text && i.band == b) out << i.text;
        return out;
    }

    // Text items of band b of page.
    static QVector<report::Item> bandItems(const report::Page& page, int b, report::Item::Kind kind) {
        QVector<report::Item> out;
        for (const report::Item& i : page.items)
            if (i.kind == kind && i.band == b) out << i;
        return out;
    }

    // The text item reading text in band b, or nullptr.
    static const report::Item* itemIn(const report::Page& page, int b, const QString& text) {
        for (const report::Item& i : page.items)
            if (i.kind == report::Item::Text && i.band == b && i.text == text) return &i;
        return nullptr;
    }

    static bool near(double a, double b, double tolerance = kEps) { return std::abs(a - b) <= tolerance; }
};

}  // namespace reporttest
