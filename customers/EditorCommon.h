#pragma once
// What the customer and the contact editor share.
#include <QString>

class QComboBox;
namespace db {
class Query;
}

// Fills a pick-list box from its lookup table in stored order, through the
// main window as the editors do, or directly where there is none.
void fillById(db::Query* q, QComboBox* box, const QString& table);

// True when the current user is a common user and the record belongs to
// another: such a record may be looked at, not saved.
bool ownedByAnother(const QString& owner);
