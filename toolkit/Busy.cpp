#include "toolkit/Busy.h"

#include <QApplication>

namespace toolkit {

namespace {
int depth = 0;
}

BusyScope::BusyScope() { ++depth; }
BusyScope::~BusyScope() { --depth; }

bool busy() { return depth > 0 || QApplication::activeModalWidget() != nullptr; }

}  // namespace toolkit
