// The main window's commands that decide what the shared customer and
// contact record sets hold, how the browser lays them out, and that delete
// their current rows.
#include <QGuiApplication>

#include "app/U_Main.h"
#include "app/U_data.h"
#include "app/db/Statement.h"
#include "app/db/Transaction.h"
#include "toolkit/DialogService.h"

namespace {

// A field of the current row as text; a closed or empty list reads as empty text.
QString currentText(db::Query* q, const QString& field) {
    if (!q->active() || q->isEmpty() || q->fieldIndex(field) < 0) return QString();
    return q->asString(field);
}

// The group bar's views show the browser: brought to the front when another
// window (the daily log, the sales) covers it.
void bringBrowserForward(TFrm_Main* main) {
    if (!main->browser()) return;
    if (QWidget* w = dynamic_cast<QWidget*>(main->browser()))
        main->ShowChildForm(QString::fromLatin1(w->metaObject()->className()));
}

void openAllCustomers() {
    db::Query* q = Frm_Data->Qry_Cust;
    q->close();
    q->setSql(QStringLiteral("select * from custom"));
    q->open();
}

}  // namespace

void TFrm_Main::Cust_CustContactExecute() {
    Frm_Data->LinkContactDetail();
    openAllCustomers();
    if (BrowserView* b = browser()) b->ShowLayout(BrowserView::Layout::CustContact);
    bringBrowserForward(this);
}

void TFrm_Main::Cust_CustExecute() {
    Frm_Data->LinkContactDetail();
    openAllCustomers();
    if (BrowserView* b = browser()) b->ShowLayout(BrowserView::Layout::CustOnly);
    bringBrowserForward(this);
}

void TFrm_Main::Cust_ContactExecute() {
    if (BrowserView* b = browser()) b->ShowLayout(BrowserView::Layout::ContactOnly);
    db::Query* c = Frm_Data->Qry_Contact;
    c->setMasterSource(nullptr);
    c->close();
    c->setSql(QStringLiteral("Select * from Contact order by ContactID"));
    c->open();
    bringBrowserForward(this);
}

void TFrm_Main::MyCustExecute() {
    db::Query* q = Frm_Data->Qry_Cust;
    q->close();
    q->setSql(db::Statement(QStringLiteral("select * from custom where F_User=:user"))
                  .bind(QStringLiteral("user"), UserName));
    q->open();
    bringBrowserForward(this);
}

void TFrm_Main::DelCustExecute() {
    db::Query* q = Frm_Data->Qry_Cust;
    if (UserPermit != 0 && currentText(q, QStringLiteral("F_User")) != UserName) {
        toolkit::dialogs().message(QStringLiteral("Not your customer，cant delete"), QStringLiteral("Warning"),
                                   toolkit::Icon::Information);
        return;
    }
    if (!toolkit::dialogs().confirm(QStringLiteral("Are your sure delete this Customer"), QStringLiteral("Warning"),
                                    toolkit::Icon::Information))
        return;
    const QString custId = currentText(q, QStringLiteral("custid"));
    const bool wasOpen = q->active();
    try {
        db::TransactionGuard trans(*Frm_Data->Connection);
        q->remove();
        db::Query* del = Frm_Data->Qry_Del;
        del->close();
        del->setSql(db::Statement(QStringLiteral("delete from contact where custid=:id"))
                        .bind(QStringLiteral("id"), custId));
        del->execSql();
        trans.commit();
    } catch (const std::exception&) {
        // The guard has rolled back. The customer row may have left the
        // grid although it is still stored: read the list again so the user
        // sees what the database holds.
        if (wasOpen) {
            q->close();
            q->open();
        }
        return;
    }
    // The contact list still shows rows that the statement just deleted.
    db::Query* c = Frm_Data->Qry_Contact;
    if (c->active()) {
        c->close();
        c->open();
    }
}

void TFrm_Main::DelContactExecute() {
    db::Query* c = Frm_Data->Qry_Contact;
    if (c->isEmpty()) return;
    if (UserPermit != 0 && currentText(c, QStringLiteral("F_User")) != UserName) {
        toolkit::dialogs().message(QStringLiteral("Not your contactor，cant delete"), QStringLiteral("Warning"),
                                   toolkit::Icon::Information);
        return;
    }
    if (toolkit::dialogs().confirm(QStringLiteral("Are you Sure delete this contactor"), QStringLiteral("Warnign"),
                                   toolkit::Icon::Information))
        c->remove();
}

void TFrm_Main::DelDailyExecute() {
    db::Query* q = Frm_Data->Qry_Daily;
    // An empty list has nothing to delete: asking first and then passing on
    // the data layer's refusal would only puzzle the user.
    if (!q->active() || q->isEmpty()) return;
    if (toolkit::dialogs().confirm(QStringLiteral("Are sure delete this record?"), QStringLiteral("Warning"),
                                   toolkit::Icon::Information))
        q->remove();
}

void TFrm_Main::DelScheduleExecute() {
    db::Query* q = Frm_Data->Qry_Schedule;
    if (!q->active() || q->isEmpty()) return;
    if (toolkit::dialogs().confirm(QStringLiteral("Are sure delete this record?"), QStringLiteral("Warning"),
                                   toolkit::Icon::Information))
        q->remove();
}
