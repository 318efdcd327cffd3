#include "activities/CustomerFinder.h"

#include <QAbstractItemView>
#include <QAbstractProxyModel>
#include <QCompleter>
#include <QLineEdit>
#include <QSet>
#include <QStringListModel>

#include "app/db/Query.h"
#include "toolkit/Forms.h"
#include "toolkit/Guard.h"

namespace activities {

namespace {

QList<CustomerHit> readHits(db::Query& q) {
    QList<CustomerHit> out;
    for (q.first(); !q.eof(); q.next())
        out.append({q.field(0).asInteger(), q.field(1).asString()});
    return out;
}

}  // namespace

QList<CustomerHit> findCustomers(db::Connection* c, const QString& text, int limit) {
    if (!c || !c->connected() || limit <= 0) return {};
    // Names beginning with text lie between text and text followed by the
    // highest character, so the index on Company finds them in name order.
    db::Query prefix(c);
    prefix.setSql(QStringLiteral("select CustID, Company from custom where Company >= :lo and Company < :hi "
                                 "order by Company limit :n"));
    prefix.setParam(QStringLiteral("n"), limit);
    prefix.setParam(QStringLiteral("lo"), text);
    prefix.setParam(QStringLiteral("hi"), text + QString::fromUcs4(U"\U0010FFFF"));
    prefix.open();
    QList<CustomerHit> hits = readHits(prefix);
    if (hits.size() >= limit || text.isEmpty()) return hits;

    // The rest hold text elsewhere, or begin with it in other letter case.
    // The walk along the name index stops as soon as enough are found.
    QSet<qlonglong> seen;
    for (const CustomerHit& h : hits) seen.insert(h.id);
    db::Query inside(c);
    inside.setSql(QStringLiteral("select CustID, Company from custom where Company like :pat order by Company limit :n"));
    inside.setParam(QStringLiteral("n"), limit + int(hits.size()));
    inside.setParam(QStringLiteral("pat"), db::containsPattern(text));
    inside.open();
    for (const CustomerHit& h : readHits(inside)) {
        if (hits.size() >= limit) break;
        if (!seen.contains(h.id)) hits.append(h);
    }
    return hits;
}

qlonglong customerIdOf(db::Connection* c, const QString& company) {
    if (!c || !c->connected() || company.isEmpty()) return -1;
    db::Query q(c);
    q.setSql(QStringLiteral("select CustID from custom where Company = :name order by CustID limit 1"));
    q.setParam(QStringLiteral("name"), company);
    q.open();
    return q.isEmpty() ? -1 : q.field(0).asInteger();
}

QStringList contactsOf(db::Connection* c, qlonglong custId) {
    if (!c || !c->connected() || custId < 0) return {};
    db::Query q(c);
    // contact.CustID holds the number as text.
    q.setSql(QStringLiteral("select Name from contact where CustID = :id order by Main desc, ContactId"));
    q.setParam(QStringLiteral("id"), QString::number(custId));
    q.open();
    QStringList out;
    for (q.first(); !q.eof(); q.next()) {
        const QString name = q.field(0).asString();
        if (!name.isEmpty() && !out.contains(name)) out << name;
    }
    return out;
}

// ---- CustomerBox ----------------------------------------------------------------

CustomerBox::CustomerBox(QComboBox* box, db::Connection* c) : QObject(box), box_(box), conn_(c) {
    toolkit::makeTypedCombo(box);
    model_ = new QStringListModel(this);
    completer_ = new QCompleter(model_, this);
    // The finder has chosen already: the list shows all it found.
    completer_->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    completer_->setCaseSensitivity(Qt::CaseInsensitive);
    completer_->setMaxVisibleItems(12);
    box->setCompleter(completer_);

    connect(box->lineEdit(), &QLineEdit::textEdited, this,
            [this](const QString& text) { toolkit::guarded([&] { search(text); }); });
    connect(completer_, qOverload<const QModelIndex&>(&QCompleter::activated), this, [this](const QModelIndex& i) {
        auto* proxy = qobject_cast<QAbstractProxyModel*>(completer_->completionModel());
        pickRow(proxy ? proxy->mapToSource(i).row() : i.row());
    });
    connect(box, qOverload<int>(&QComboBox::activated), this, [this](int row) {
        if (!filling_) pickRow(row);
    });
}

void CustomerBox::search(const QString& text) {
    hits_ = findCustomers(conn_, text);
    showHits();
    // Typing a name exactly chooses that customer (the first of that name).
    qlonglong id = -1;
    for (const CustomerHit& h : hits_)
        if (h.company == text) {
            id = h.id;
            break;
        }
    choose(id);
    if (!text.isEmpty() && !hits_.isEmpty() && box_->lineEdit()->hasFocus()) completer_->complete();
    else completer_->popup()->hide();
}

void CustomerBox::showHits() {
    QStringList names;
    for (const CustomerHit& h : hits_) names << h.company;
    model_->setStringList(names);
    // The box's own list offers the same; its text and cursor stay as typed.
    filling_ = true;
    const QString text = box_->currentText();
    const int cursor = box_->lineEdit()->cursorPosition();
    box_->clear();
    box_->addItems(names);
    box_->setCurrentIndex(-1);
    box_->setEditText(text);
    box_->lineEdit()->setCursorPosition(cursor);
    filling_ = false;
}

void CustomerBox::pickRow(int row) {
    if (row < 0 || row >= hits_.size()) return;
    const CustomerHit h = hits_[row];
    filling_ = true;
    box_->setEditText(h.company);
    box_->lineEdit()->setCursorPosition(0);
    filling_ = false;
    choose(h.id);
}

void CustomerBox::setCustomer(qlonglong id, const QString& company) {
    hits_ = findCustomers(conn_, company);
    showHits();
    filling_ = true;
    box_->setEditText(company);
    box_->lineEdit()->setCursorPosition(0);
    filling_ = false;
    // A name stored without its number is that customer when it is one
    // exactly, as if typed.
    if (id < 0)
        for (const CustomerHit& h : hits_)
            if (h.company == company && !company.isEmpty()) {
                id = h.id;
                break;
            }
    choose(id);
}

void CustomerBox::choose(qlonglong id) {
    if (id == id_) return;
    id_ = id;
    emit customerChanged(id);
}

}  // namespace activities
