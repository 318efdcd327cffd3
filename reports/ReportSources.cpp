#include "reports/ReportSources.h"

#include <QHash>

#include "app/db/Connection.h"
#include "app/db/Query.h"
#include "app/db/Statement.h"

namespace {
int indexIn(const QStringList& names, const QString& name) {
    for (int i = 0; i < names.size(); ++i)
        if (names[i].compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}
}  // namespace

// ---- CustomerContacts ----------------------------------------------------------------

CustomerContacts::CustomerContacts(db::Query* customers, db::Connection* connection, int batch)
    : customers_(customers), connection_(connection), batch_(std::max(1, batch)) {
    for (const auto& f : connection_->tableFields(QStringLiteral("contact"))) fields_ << f.name;
    mainField_ = indexIn(fields_, QStringLiteral("Main"));
}

CustomerContacts::~CustomerContacts() = default;

int CustomerContacts::fieldIndex(const QString& name) { return indexIn(fields_, name); }

const QVector<CustomerContacts::Contact>& CustomerContacts::contactsOf(int masterRow) {
    static const QVector<Contact> none;
    const int count = customers_->recordCount();
    if (masterRow < 0 || masterRow >= count) return none;
    if (masterRow >= from_ && masterRow < to_) return loaded_[masterRow - from_];

    from_ = masterRow / batch_ * batch_;
    to_ = std::min(count, from_ + batch_);
    loaded_.clear();
    loaded_.resize(to_ - from_);
    const int idField = customers_->fieldIndex(QStringLiteral("CustID"));
    QHash<QString, QList<int>> rowsOf;   // customer number -> its rows in the run
    QVariantList ids;
    for (int r = from_; r < to_; ++r) {
        const QString id = idField >= 0 ? customers_->textAt(r, idField) : QString();
        if (id.isEmpty()) continue;
        if (!rowsOf.contains(id)) ids << id;
        rowsOf[id] << r - from_;
    }
    if (ids.isEmpty()) return loaded_[masterRow - from_];

    db::Query q(connection_);
    q.setSql(db::Statement(QStringLiteral("select * from contact where CustID in (:ids) order by ContactId"))
                 .bind(QStringLiteral("ids"), ids));
    q.open();
    ++statements_;
    const int n = q.fieldCount();
    const int custField = q.fieldIndex(QStringLiteral("CustID"));
    QVector<int> map(fields_.size(), -1);   // our field -> the query's
    for (int f = 0; f < fields_.size(); ++f) map[f] = q.fieldIndex(fields_[f]);
    for (int r = 0; r < q.recordCount(); ++r) {
        Contact c;
        c.texts.reserve(fields_.size());
        for (int f = 0; f < fields_.size(); ++f) c.texts << (map[f] >= 0 && map[f] < n ? q.textAt(r, map[f]) : QString());
        if (mainField_ >= 0 && map[mainField_] >= 0) {
            const QVariant v = q.valueAt(r, map[mainField_]);
            c.main = v.typeId() == QMetaType::Bool ? v.toBool() : v.toInt() != 0;
        }
        for (int at : rowsOf.value(q.textAt(r, custField))) loaded_[at].append(c);
    }
    return loaded_[masterRow - from_];
}

int CustomerContacts::rowCount(int masterRow) { return int(contactsOf(masterRow).size()); }

QString CustomerContacts::text(int masterRow, int row, int field) {
    const auto& list = contactsOf(masterRow);
    if (row < 0 || row >= list.size() || field < 0) return QString();
    return list[row].texts.value(field);
}

int CustomerContacts::mainContact(int masterRow) {
    const auto& list = contactsOf(masterRow);
    for (int i = 0; i < list.size(); ++i)
        if (list[i].main) return i;
    return list.isEmpty() ? -1 : 0;
}

// ---- CustomerRows ---------------------------------------------------------------------

CustomerRows::CustomerRows(db::Query* customers) : report::RecordSourceData(customers) {}

// ---- CustomerListData -----------------------------------------------------------------

namespace {
// Field indexes of CustomerListData: the customer's own columns as they
// are, the contact's after them.
constexpr int kContactBase = 1000;
}  // namespace

CustomerListData::CustomerListData(db::Query* customers, CustomerContacts* contacts)
    : customers_(customers), contacts_(contacts) {}

QStringList CustomerListData::contactFields() { return {QStringLiteral("Name"), QStringLiteral("Mobile")}; }

int CustomerListData::rowCount() { return customers_->recordCount(); }

int CustomerListData::fieldIndex(const QString& name) {
    if (indexIn(contactFields(), name) >= 0) {
        const int f = contacts_->fieldIndex(name);
        return f < 0 ? -1 : kContactBase + f;
    }
    return customers_->fieldIndex(name);
}

QString CustomerListData::text(int row, int field) {
    if (field < 0) return QString();
    if (field >= kContactBase) {
        const int c = contacts_->mainContact(row);
        return c < 0 ? QString() : contacts_->text(row, c, field - kContactBase);
    }
    return customers_->textAt(row, field);
}

// ---- LabelData ----------------------------------------------------------------------------

namespace {
enum LabelField { PostCode, Address, Company, Name, LabelFieldCount };
const char* const kLabelFields[] = {"PostCode", "Address", "Company", "Name"};
}  // namespace

LabelData::LabelData(db::Query* customers, CustomerContacts* contacts) : customers_(customers), contacts_(contacts) {}

int LabelData::fieldIndex(const QString& name) {
    for (int i = 0; i < LabelFieldCount; ++i)
        if (name.compare(QLatin1String(kLabelFields[i]), Qt::CaseInsensitive) == 0) return i;
    return -1;
}

int LabelData::rowCount(int masterRow) { return contacts_->rowCount(masterRow); }

QString LabelData::text(int masterRow, int row, int field) {
    if (field < 0 || field >= LabelFieldCount) return QString();
    auto own = [&](int f) {
        return contacts_->text(masterRow, row, contacts_->fieldIndex(QLatin1String(kLabelFields[f])));
    };
    auto customer = [&](int f) {
        const int i = customers_->fieldIndex(QLatin1String(kLabelFields[f]));
        return i < 0 ? QString() : customers_->textAt(masterRow, i);
    };
    switch (field) {
    case PostCode:
    case Address:
        // The address and its post code go together: both the contact's, or
        // both the customer's when the contact has no address.
        return own(Address).trimmed().isEmpty() ? customer(field) : own(field);
    case Company: {
        const QString c = own(Company);
        return c.trimmed().isEmpty() ? customer(Company) : c;
    }
    default: return own(field);
    }
}
