#include "toolkit/RecordSource.h"

namespace toolkit {

void DataSource::setDataSet(RecordSource* ds) {
    if (ds == dataSet_) return;
    dataSet_ = ds;
    emit dataSetChanged();
}

}  // namespace toolkit
