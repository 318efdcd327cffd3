#include "toolkit/RecordSource.h"

#include <stdexcept>

namespace toolkit {

void RecordSource::setValueAt(int, int, const QVariant&) {
    throw std::runtime_error("This record set cannot be modified");
}

void DataSource::setDataSet(RecordSource* ds) {
    if (ds == dataSet_) return;
    dataSet_ = ds;
    emit dataSetChanged();
}

}  // namespace toolkit
