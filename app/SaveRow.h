#pragma once
// Saving a row that another workstation may have changed meanwhile.
#include <functional>

namespace db {
class ConflictError;
class Query;
}

// Fills q's pending row and posts it (db::postOrCancel). When another
// workstation changed or deleted the row after this one read it, nothing is
// written: the user is told and offered to read the row again, and reloaded
// runs once it was. Returns true when the row was saved. Other refusals
// travel on to the caller.
bool saveOrOfferReload(db::Query* q, const std::function<void()>& fill, const std::function<void()>& reloaded);

// Tells the user of a conflict found while saving q's current row and offers
// to read the row again; true when it was read again.
bool offerReload(const db::ConflictError& e, db::Query* q);

// Deletes q's current row. When another workstation had deleted it already
// the user is told (the row leaves the list either way); false then.
bool removeOrSayGone(db::Query* q);
