#pragma once
// One guard per user action that needs a transaction: commit() when all went
// well; any other way out of the scope rolls back.
#include "app/db/Connection.h"

namespace db {

class TransactionGuard {
public:
    explicit TransactionGuard(Connection& c) : c_(c) { c_.beginTrans(); }
    ~TransactionGuard() {
        if (!done_) {
            try {
                c_.rollbackTrans();
            } catch (...) {
                // Nothing more can be done from a destructor.
            }
        }
    }
    void commit() {
        c_.commitTrans();
        done_ = true;
    }
    TransactionGuard(const TransactionGuard&) = delete;
    TransactionGuard& operator=(const TransactionGuard&) = delete;

private:
    Connection& c_;
    bool done_ = false;
};

}  // namespace db
